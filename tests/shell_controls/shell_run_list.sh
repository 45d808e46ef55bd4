#!/usr/bin/env bash
# shell_run list on a scratch folder in the prefix's C: drive: the columns, one row per
# item in list order with the texts the list shows, the count; --filter; the data object
# of --data (its formats, blocks and QueryGetData answers; the item-ID list array read
# back by idlist_run cida); --changes with a file made while it waits; --timeout; a folder
# that does not parse; a bad command line.
#   shell_run_list.sh WINE_RUN WINEPREFIX SHELL_RUN IDLIST_RUN
set -uo pipefail
winerun=$1 prefix=$2 driver=$3 idlist=$4
fail() { echo "shell_run_list: $*" >&2; exit 1; }
run() { "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$@" 2>"$work/err" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

work=$(mktemp -d)
name=qlistdrv$$
trap 'rm -rf "$work" "$prefix/drive_c/$name"' EXIT
# The prefix is made on first use; the folder goes into its C: drive.
"$winerun" --prefix "$prefix" --timeout 120 --mode plain "$driver" >/dev/null 2>&1
folder=$prefix/drive_c/$name
win="C:\\$name"
mkdir -p "$folder/sub" || fail "cannot make $folder"
head -c 1536 /dev/zero > "$folder/a.txt"
: > "$folder/empty.doc"
head -c 5000000 /dev/zero > "$folder/c.bin"
touch -d '2001-02-03 04:05:00' "$folder/a.txt" "$folder/empty.doc" "$folder/c.bin" "$folder/sub"

out=$(run "$driver" list "$win") || fail "list exited $?: $(cat "$work/err")"
mapfile -t lines <<<"$out"
[[ ${lines[0]} == $'columns\tName:200\tSize:60\tType:100\tModified:120' ]] || fail "columns line: ${lines[0]}"
[[ ${#lines[@]} -eq 6 ]] || fail "expected 4 rows and an end line, got: $out"
# Folders first, then by name; sizes in KB rounded up, grouped; the folder has no size.
for i in 1 2 3 4; do
  field() { cut -f"$1" <<<"${lines[$i]}"; }
  tag=$(field 1) n=$(field 2) size=$(field 3) type=$(field 4) modified=$(field 5)
  [[ $tag == row && -n $type && $modified == 2/3/2001* ]] || fail "row $i: ${lines[$i]}"
  got+="$n:$size "
done
[[ "$got" == "sub: a.txt:2KB c.bin:4,883KB empty.doc:0KB " ]] || fail "rows: $got"
[[ ${lines[5]} == $'end\t4' ]] || fail "end line: ${lines[5]}"

out=$(run "$driver" list --filter '*.txt;*.doc' "$win") || fail "a filtered list exited $?"
[[ $(grep -c '^row' <<<"$out") -eq 3 && $(tail -n1 <<<"$out") == $'end\t3' ]] || fail "filtered: $out"
grep -q $'^row\tc.bin' <<<"$out" && fail "the filter let c.bin through"

# The data object of two items: the array, the file drop block and the text, in that order.
out=$(run "$driver" list --data 'empty.doc;a.txt' "$win") || fail "--data exited $?: $(cat "$work/err")"
[[ $(grep '^formats' <<<"$out") == $'formats\tShell IDList Array\t15\t1' ]] || fail "formats: $(grep '^formats' <<<"$out")"
hexof() { grep "^data"$'\t'"$1"$'\t' <<<"$out" | cut -f3; }
text=$(hexof 1 | xxd -r -p | tr -d '\0')
[[ "$text" == "C:\\$name\\a.txt"$'\r\n'"C:\\$name\\empty.doc"$'\r' ]] || fail "text block: $(hexof 1)"
drop=$(hexof 15)
[[ ${drop:0:8} == 14000000 ]] || fail "the file drop block does not start with its 20-byte header: $drop"
names=$(xxd -r -p <<<"${drop:40}" | tr '\0' '|')
[[ "$names" == "C:\\$name\\a.txt|C:\\$name\\empty.doc||" ]] || fail "file drop names: $names"
hexof 'Shell IDList Array' | xxd -r -p > "$work/cida.bin"
cida=$(run "$idlist" cida "Z:${work//\//\\}\\cida.bin") || fail "idlist_run refused the array: $(cat "$work/err")"
[[ $(head -n1 <<<"$cida") == "count 2" && $(grep -c '^item ' <<<"$cida") -eq 2 ]] || fail "the array read as: $cida"
[[ $(grep '^query' <<<"$out") == $'query\t00000000\t80040069\t80040064\t80040064' ]] ||
  fail "QueryGetData answers: $(grep '^query' <<<"$out")"

# --changes: a file made after the first block gives a second block with it.
run "$driver" list --changes 1 --timeout 60 "$win" > "$work/changes" &
pid=$!
for _ in $(seq 100); do grep -q '^end' "$work/changes" && break; sleep 0.2; done
: > "$folder/new.txt"
wait $pid || fail "--changes exited $?: $(cat "$work/changes")"
[[ $(grep -c '^end' "$work/changes") -eq 2 ]] || fail "--changes printed: $(cat "$work/changes")"
[[ $(tail -n1 "$work/changes") == $'end\t5' ]] && grep -q $'^row\tnew.txt' "$work/changes" ||
  fail "the second block lacks new.txt: $(cat "$work/changes")"

# Nothing changes: "timeout" and exit 2.
out=$(run "$driver" list --changes 1 --timeout 2 "$win"); rc=$?
[[ $rc -eq 2 && $(tail -n1 <<<"$out") == timeout ]] || fail "a quiet folder gave exit $rc: $out"

# A folder the shell cannot parse, and a bad command line.
out=$(run "$driver" list 'Q:\no\such\folder'); rc=$?
[[ $rc -eq 1 && -z "$out" && -s "$work/err" ]] || fail "an unparsable folder gave exit $rc: $out"
run "$driver" list >/dev/null; rc=$?
[[ $rc -eq 2 ]] || fail "a missing FOLDER gave exit $rc"
run "$driver" list --sort 0 "$win" >/dev/null; rc=$?
[[ $rc -eq 2 ]] || fail "--sort 0 gave exit $rc"
exit 0
