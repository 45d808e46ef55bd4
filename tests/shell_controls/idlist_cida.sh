#!/usr/bin/env bash
# idlist_run cida reads an item-ID list array from a file: the count, the parent and each
# item in hex, bytes after the last list allowed; a damaged array gives one line on
# standard error, nothing on standard output and exit 1; a bad command line exit 2.
#   idlist_cida.sh [--windows] RUNNER... IDLIST_RUN
# RUNNER is nothing natively and wine-run with its options under Wine; --windows hands the
# program its files as Windows paths (Z:).
set -uo pipefail
windows=0
if [[ "${1:-}" == --windows ]]; then windows=1; shift; fi
fail() { echo "idlist_cida: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The launcher's own lines (and Wine's) are no output of the program.
run() {
  "$@" 2>"$work/err" | tr -d '\r' >"$work/out"
  local rc=${PIPESTATUS[0]}
  sed -i '/^wine-run: /d; /^wine: /d' "$work/err"
  return "$rc"
}
place() { if ((windows)); then local p="Z:$work/$1"; echo "${p//\//\\}"; else echo "$work/$1"; fi; }
# Bytes from hex pairs.
bytes() { printf '%s' "$1" | xxd -r -p > "$work/$2"; }

# Two items after a parent: offsets 16, 21 and 27 past the offset table, two bytes spare.
bytes 0200000010000000150000001b000000030070000004006161000004006262000000ffff good.bin
run "$@" cida "$(place good.bin)"; rc=$?
[[ $rc -eq 0 ]] || fail "a whole array gave exit $rc: $(cat "$work/err")"
expected=$'count 2\nparent 0300700000\nitem 1 040061610000\nitem 2 040062620000'
[[ "$(cat "$work/out")" == "$expected" ]] || fail "a whole array printed: $(cat "$work/out")"
[[ ! -s "$work/err" ]] || fail "a whole array wrote to standard error: $(cat "$work/err")"

# Damaged arrays: cut inside the last list, an offset past the block, an offset inside the
# offset table, a count the block cannot hold, a list without its terminator.
while read -r what hex; do
  bytes "$hex" bad.bin
  run "$@" cida "$(place bad.bin)"; rc=$?
  [[ $rc -eq 1 ]] || fail "$what: exit $rc, not 1"
  [[ ! -s "$work/out" ]] || fail "$what: printed $(cat "$work/out")"
  [[ $(wc -l < "$work/err") -eq 1 ]] || fail "$what: standard error was '$(cat "$work/err")'"
done <<'CASES'
cut 0200000010000000150000001b00000003007000000400616100000400626200
past 020000001000000015000000ff000000030070000004006161000004006262000000
table 0200000004000000150000001b000000030070000004006161000004006262000000
count ff000000100000001500000015000000
open 000000000800000003007000
CASES

run "$@" cida; rc=$?
[[ $rc -eq 2 ]] || fail "a missing FILE gave exit $rc, not 2"
run "$@" cida "$(place none.bin)"; rc=$?
[[ $rc -eq 1 ]] || fail "a missing file gave exit $rc, not 1"
exit 0
