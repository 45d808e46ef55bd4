#!/usr/bin/env bash
# Checks the engine driver's exit codes and output on the sample trees:
#   engine_run_check.sh SAMPLES_DIR [LAUNCHER...] ENGINE_RUN
# Paths are given relative to a scratch folder, so a Windows build sees them as well. With
# REFERENCE_ENGINE_RUN set (the native driver), the patch must be the bytes it writes.
set -uo pipefail
samples=$1; shift
fail() { echo "engine_run_check: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$samples/tree-v1" "$samples/tree-v2" "$work/"
cd "$work"

"$@" sample.utp tree-v1 tree-v2 >out.txt 2>err.txt
rc=$?
[[ $rc -eq 0 ]] || fail "a good run ended with $rc: $(cat err.txt)"
grep -q "Created plain patchfile \"sample.utp\" with $(stat -c %s sample.utp) Bytes." out.txt ||
  fail "no result line: $(cat out.txt)"
grep -q "Done." err.txt || fail "no progress on stderr"
if [[ -n "${REFERENCE_ENGINE_RUN:-}" ]]; then
  "$REFERENCE_ENGINE_RUN" reference.utp tree-v1 tree-v2 >/dev/null 2>&1 ||
    fail "the reference driver $REFERENCE_ENGINE_RUN failed"
  cmp -s sample.utp reference.utp ||
    fail "the patch differs from the one the reference driver writes ($(stat -c %s sample.utp) against $(stat -c %s reference.utp) bytes)"
fi

# The bytes of the sample patch, with every file's time fixed, as recorded once: length and
# CRC as cksum gives them.
mkdir fixed && cp -r tree-v1 tree-v2 fixed/ && find fixed -type f -exec touch -d '2001-02-03 04:05:06' {} +
(cd fixed && "$@" fixed.utp tree-v1 tree-v2 >/dev/null 2>&1) || fail "the run with fixed times failed"
read -r crc length _ < <(cksum fixed/fixed.utp)
[[ "$crc $length" == "692146795 1216" ]] ||
  fail "the sample patch with fixed times is not the recorded one (cksum $crc, $length bytes)"

"$@" bad.utp tree-v1 missing >out.txt 2>err.txt
rc=$?
[[ $rc -eq 1 ]] || fail "a failing run ended with $rc"
grep -q 'Error, "missing" does not exist or is no directory.' err.txt || fail "no message: $(cat err.txt)"
[[ ! -e bad.utp ]] || fail "a failing run left an output"

"$@" --applier x out.utp tree-v1 tree-v2 >out.txt 2>err.txt
rc=$?
[[ $rc -eq 2 ]] || fail "a bad command line ended with $rc"
echo "engine_run_check: ok"
