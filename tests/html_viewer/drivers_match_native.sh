#!/usr/bin/env bash
# The Windows gif_run and layout_run write what the native ones write: gif_run's listing,
# frames and masks for every golden GIF and its timelines, layout_run's dump (with --fake)
# for every layout script, queries included.
#   drivers_match_native.sh NATIVE_DIR WINDOWS_DIR WINE_RUN WINEPREFIX SOURCE_DIR
set -euo pipefail
native=$1 windows=$2 winerun=$3 prefix=$4 src=$5
fail() { echo "drivers_match_native: $*" >&2; exit 1; }
[[ -x "$native/gif_run" && -x "$native/layout_run" ]] || fail "no native drivers in $native (build the native configuration first)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$src"/golden/*.gif "$src"/layouts/* .
win() { local p=$1; shift; "$winerun" --prefix "$prefix" --timeout 300 --mode plain "$windows/$p.exe" "$@" | tr -d '\r'; }
same() {  # what native-file windows-file (the launcher's own exit note left out)
  sed -i '/^wine-run: .* exited with code/d' "$3"
  cmp -s "$2" "$3" || { diff "$2" "$3" | head -20 >&2; fail "$1 differs"; }
}
checked=0
for gif in *.gif; do
  b=${gif%.gif}
  rcn=0; "$native/gif_run" "$gif" "n-$b" > "n-$b.txt" 2>&1 || rcn=$?
  rcw=0; win gif_run "$gif" "w-$b" > "w-$b.txt" 2>&1 || rcw=$?
  [[ $rcn == "$rcw" ]] || fail "gif_run $gif: exit $rcn natively, $rcw under Wine"
  same "gif_run $gif" "n-$b.txt" "w-$b.txt"
  if [[ -d "n-$b" ]]; then
    for f in "n-$b"/*; do same "$gif ${f##*/}" "$f" "w-$b/${f##*/}"; done
    [[ $(ls "n-$b" | wc -l) == $(ls "w-$b" | wc -l) ]] || fail "$gif: another number of files"
  fi
  checked=$((checked + 1))
done
for args in "--play 1000 anim-loop0.gif" "--play 1000 anim-noloop.gif" "--play 2000 --speed 200 anim-loop3.gif" \
            "--play 500 --clock 4294967200 anim-loop0.gif"; do
  # shellcheck disable=SC2086
  "$native/gif_run" $args > n-play.txt
  # shellcheck disable=SC2086
  win gif_run $args > w-play.txt
  same "gif_run $args" n-play.txt w-play.txt
  checked=$((checked + 1))
done
for script in *.layout; do
  queries=$(sed -n 's/^# queries: //p' "$script")
  # shellcheck disable=SC2086
  rcn=0; "$native/layout_run" $queries "$script" > n.txt 2>&1 || rcn=$?
  # shellcheck disable=SC2086
  rcw=0; win layout_run --fake $queries "$script" > w.txt 2>&1 || rcw=$?
  [[ $rcn == "$rcw" ]] || fail "layout_run $script: exit $rcn natively, $rcw under Wine"
  same "layout_run $script" n.txt w.txt
  checked=$((checked + 1))
done
echo "drivers_match_native: $checked runs gave the same results"
