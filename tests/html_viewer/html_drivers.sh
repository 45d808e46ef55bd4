#!/usr/bin/env bash
# html_dump.exe prints what the native html_dump prints (outline, messages, exit codes) for
# the help pages and for documents that end badly; html_render.exe shows a page, follows a
# key and reports its viewer, and a missing file is an error that lets the run go on.
#   html_drivers.sh NATIVE_DIR WINDOWS_DIR WINE_RUN WINEPREFIX HELP_DIR
set -euo pipefail
native=$1 windows=$2 winerun=$3 prefix=$4 help=$5
fail() { echo "html_drivers: $*" >&2; exit 1; }
[[ -x "$native/html_dump" ]] || fail "no native html_dump in $native (build the native configuration first)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$help"/* .
printf '<B>kept</B><!-- open' > open.html
printf '<TITLE>f</TITLE><FRAMESET COLS="30%%,*"><FRAME NAME=a SRC=index.html><FRAME SRC=faq.htm></FRAMESET>' > frames.html
printf 'plain <b>&amp;\r\nsecond\r\n' > plain.txt
win() { local p=$1; shift; "$winerun" --prefix "$prefix" --timeout 300 --mode plain "$windows/$p.exe" "$@" | tr -d '\r'; }
checked=0
for args in *.htm* "--text plain.txt" "missing.html"; do
  # shellcheck disable=SC2086
  rcn=0; "$native/html_dump" $args > n.txt 2> n.err || rcn=$?
  # shellcheck disable=SC2086
  rcw=0; win html_dump $args > w.txt 2> w.err || rcw=$?
  sed -i '/^wine-run: .* exited with code/d' w.err
  tr -d '\r' < w.err > w.err2
  [[ $rcn == "$rcw" ]] || fail "html_dump $args: exit $rcn natively, $rcw under Wine"
  cmp -s n.txt w.txt || { diff n.txt w.txt | head -20 >&2; fail "html_dump $args differs"; }
  cmp -s n.err w.err2 || { diff n.err w.err2 | head -20 >&2; fail "html_dump $args: its messages differ"; }
  checked=$((checked + 1))
done
rc=0; "$native/html_dump" open.html > /dev/null 2> err.txt || rc=$?
[[ $rc == 2 ]] && grep -q "Open Comment at End of HTML File" err.txt || fail "open.html: exit $rc"
rc=0; "$native/html_dump" missing.html > /dev/null 2>&1 || rc=$?
[[ $rc == 1 ]] || fail "missing.html: exit $rc"
grep -q "^frameset cols=-130,-1" <("$native/html_dump" frames.html) || fail "frames.html gives no frame set"

out=$(win html_render --key End readme.htm 500 300 readme.bmp 2> err.txt)
echo "$out" | grep -Eiq '^file=.*\\readme\.htm top=[1-9][0-9]* vbar=1 hbar=0 history=1$' || fail "html_render readme.htm: $out"
size=$(stat -c %s readme.bmp)
[[ $size == $((54 + 1500 * 300)) ]] || fail "readme.bmp has $size bytes"
out=$(win html_render missing.html 200 100 missing.bmp 2> err.txt)
[[ $out == "file= top=0 vbar=0 hbar=0 history=0" ]] || fail "html_render missing.html: $out"
grep -q "^error: Can't locate file: missing.html" err.txt || fail "no error for missing.html: $(cat err.txt)"
echo "html_drivers: $checked outlines alike, html_render checked"
