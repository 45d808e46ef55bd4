#!/usr/bin/env bash
# The Wine launcher's own failure paths: a hung program is killed and reported, a program
# that claims GoogleTest but writes no report fails, a missing program fails, and so do a
# file that is no Windows program and a prefix that cannot be made.
set -u
launcher=$1 prefix=$2 hang=$3
fail() { echo "launcher check failed: $*"; exit 1; }

out=$("$launcher" --prefix "$prefix" --timeout 5 --mode plain "$hang" 2>&1); rc=$?
[[ $rc -ne 0 ]] || fail "a hung program passed"
grep -q "did not end within 5 s and was killed" <<<"$out" || fail "no kill message: $out"

out=$("$launcher" --prefix "$prefix" --timeout 60 --mode gtest "$hang" exit0 2>&1); rc=$?
[[ $rc -ne 0 ]] || fail "a program without a GoogleTest report passed"
grep -q "wrote no report" <<<"$out" || fail "no report message: $out"

out=$("$launcher" --prefix "$prefix" --timeout 60 --mode plain "$hang.missing" 2>&1); rc=$?
[[ $rc -ne 0 ]] || fail "a missing program passed"
grep -q "does not exist" <<<"$out" || fail "no missing-program message: $out"

notpe=$(mktemp)
printf 'MZ not a program' >"$notpe"
out=$("$launcher" --prefix "$prefix" --timeout 60 --mode plain "$notpe" 2>&1); rc=$?
rm -f "$notpe"
[[ $rc -ne 0 ]] || fail "a file that is no Windows program passed"
grep -q "is not a Windows program" <<<"$out" || fail "no message for a file that is no program: $out"

# A prefix whose folder would have to lie inside a file.
blocker=$(mktemp)
out=$("$launcher" --prefix "$blocker/wineprefix" --timeout 60 --mode plain "$hang" exit0 2>&1); rc=$?
rm -f "$blocker"
[[ $rc -ne 0 ]] || fail "a program in a prefix that cannot be made passed"
grep -q "its folder cannot be made" <<<"$out" && grep -q "could not create the .* Wine prefix" <<<"$out" ||
  fail "no message for a prefix that cannot be made: $out"

out=$("$launcher" --prefix "$prefix" --timeout 60 --mode plain "$hang" exit0 2>&1); rc=$?
[[ $rc -eq 0 ]] || fail "a plain program that exits 0 failed: $out"
echo "launcher checks passed"
