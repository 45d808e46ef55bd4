#!/usr/bin/env bash
# shell_run open|save under Xvfb, driven from another process by dialog_check as a user
# would: each refused name shows its one message, captioned with the dialog's, and the run
# returns no file; the save dialog asks before replacing; a shown folder deleted outside
# the program hands the tree's selection to its parent with no error box; F12 shows the
# tree at 200 pixels and hides it; a run with a saved state reopens at the size it was
# given, with the tree and the splitter's bar where they were left.
#   shell_run_dialogs.sh WINE_RUN WINEPREFIX SHELL_RUN DIALOG_CHECK
set -uo pipefail
winerun=$1 prefix=$2 driver=$3 checker=$4
fail() { echo "shell_run_dialogs: $*" >&2; exit 1; }
work=$(mktemp -d)
name=qdlgdrv$$
pid=""
trap '[[ -n "$pid" ]] && stop_dialog; rm -rf "$work" "$prefix/drive_c/$name"' EXIT
wine() { "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$@"; }
wine "$driver" >/dev/null 2>&1  # the prefix, made on first use
folder=$prefix/drive_c/$name
win="C:\\$name"
mkdir -p "$folder/sub" || fail "cannot make $folder"
for f in a.txt b.txt sub/inner.txt; do echo x > "$folder/$f"; done
# The state file lies outside the prefix.
state="Z:${work//\//\\}\\state.bin"

start() { wine "$driver" "$@" > "$work/out" 2>"$work/err" & pid=$!; }
# A dialog left open by a failed step goes with the run (its process, by its pid).
stop_dialog() {
  local p
  # wine-run's time limit passes the signal on to the program.
  for p in $(pgrep -P "$pid" 2>/dev/null); do
    for q in $(pgrep -P "$p" 2>/dev/null); do kill "$q" 2>/dev/null; done
    kill "$p" 2>/dev/null
  done
}
check() { wine "$checker" "$@" 2>&1 | tr -d '\r' | grep -v '^wine: ' | tee -a "$work/check"; return "${PIPESTATUS[0]}"; }
finish() {
  wait "$pid"; local rc=$?
  tr -d '\r' < "$work/out" > "$work/result"
  return $rc
}

# Every refusal: one warning captioned "Refusals", the dialog stays, nothing comes back.
start open --dir "$win" --title "Refusals$$"
long=$(printf 'n%.0s' $(seq 300))
check wait "Refusals$$" \
  set FileNameEdt 'a|b' click OpenBtn box 'The above file name is invalid.' OK \
  set FileNameEdt 'x:y.txt' click OpenBtn box 'The above file name is invalid.' OK \
  set FileNameEdt 'd*\x.txt' click OpenBtn box 'The above file name is invalid.' OK \
  set FileNameEdt "$long" click OpenBtn box 'The above file name is invalid.' OK \
  set FileNameEdt 'con.txt' click OpenBtn box 'reserved device name' OK \
  set FileNameEdt 'nowhere\f.txt' click OpenBtn box 'Path does not exist.' OK \
  set FileNameEdt '"a.txt" "gone.txt"' click OpenBtn box 'File not found.' OK \
  click CancelBtn gone >/dev/null || fail "the refusals did not run: $(cat "$work/check")"
finish || fail "the open dialog exited $?: $(cat "$work/err")"
[[ $(grep -c "^box	Refusals$$	" "$work/check") -eq 7 ]] || fail "boxes: $(cat "$work/check")"
grep -q "	C:.$name.nowhere.f.txt Path does not exist" "$work/check" || fail "the missing folder's box: $(cat "$work/check")"
[[ $(head -n1 "$work/result") == cancelled ]] || fail "after the refusals: $(cat "$work/result")"
grep -q '^file' "$work/result" && fail "a refused run returned a file: $(cat "$work/result")"

# Save: No keeps the dialog, Yes replaces; the default extension is added.
: > "$work/check"
start save --dir "$win" --title "Saving$$" --ext txt --with qsofOverwritePrompt
check wait "Saving$$" \
  set FileNameEdt a click OpenBtn box 'already exists.' No \
  set FileNameEdt a click OpenBtn box 'already exists.' Yes gone >/dev/null ||
  fail "the save dialog did not run: $(cat "$work/check")"
finish || fail "the save dialog exited $?"
[[ $(sed -n 1p "$work/result") == ok && $(sed -n 2p "$work/result") == "file	C:\\$name\\a.txt" ]] ||
  fail "the save dialog returned: $(cat "$work/result")"
grep -q '^options	.*qsofOverwritePrompt' "$work/result" || fail "options: $(cat "$work/result")"

# The tree: shown at 200 pixels; the shown folder goes; F12 hides and shows it.
: > "$work/check"
start open --dir "$win\\sub" --title "Tree$$" --with qsofShowTree
check wait "Tree$$" width QsSplitter1_pane1 > "$work/w1" || fail "the tree dialog: $(cat "$work/check")"
[[ $(cat "$work/w1") == $'width\t200' ]] || fail "the tree pane is $(cat "$work/w1")"
rm -r "$folder/sub"
sleep 4
check wait "Tree$$" nobox 1500 key QsShellList1 123 width QsSplitter1_pane1 key QsShellList1 123 \
  width QsSplitter1_pane1 set FileNameEdt b.txt click OpenBtn gone > "$work/w2" ||
  fail "after the folder went: $(cat "$work/check")"
[[ $(grep -c $'^width\t0$' "$work/w2") -eq 1 && $(grep -c $'^width\t200$' "$work/w2") -eq 1 ]] ||
  fail "F12: $(cat "$work/w2")"
finish || fail "the tree dialog exited $?"
# Open in the parent: the list followed the tree there.
[[ $(sed -n 2p "$work/result") == "file	C:\\$name\\b.txt" ]] || fail "after the deletion: $(cat "$work/result")"

# The state: the tree on, the splitter's bar dragged from 200 to 150, the dialog made
# larger (the bar keeps its proportion), a run saved; the next run reopens at that size
# with the tree and the bar where they were left.
: > "$work/check"
start open --dir "$win" --title "State$$" --state "$state"
check wait "State$$" key QsShellList1 123 drag QsSplitter1 201 151 width QsSplitter1_pane1 resize 560 380 \
  width QsSplitter1_pane1 size set FileNameEdt a.txt click OpenBtn gone > "$work/s1" ||
  fail "the first state run: $(cat "$work/check")"
finish || fail "the first state run exited $?"
[[ $(stat -c %s "$work/state.bin") -eq 14 ]] || fail "the state file is not 14 bytes"
[[ $(grep '^width' "$work/s1" | head -n1) == $'width\t150' ]] || fail "the drag left the tree at $(cat "$work/s1")"
left=$(grep '^width' "$work/s1" | sed -n 2p)
[[ -n "$left" && "$left" != $'width\t150' ]] || fail "the resize kept no proportion: $(cat "$work/s1")"
[[ $(grep '^size' "$work/s1") == $'size\t560\t380' ]] || fail "the resize: $(cat "$work/s1")"
start open --dir "$win" --title "State$$" --state "$state"
check wait "State$$" width QsSplitter1_pane1 size click CancelBtn gone > "$work/s2" ||
  fail "the second state run: $(cat "$work/check")"
finish || fail "the second state run exited $?"
[[ $(grep '^width' "$work/s2") == "$left" ]] || fail "the tree came back as $(cat "$work/s2"), left as $left"
[[ $(grep '^size' "$work/s2") == $'size\t560\t380' ]] || fail "sizes: $(cat "$work/s1" "$work/s2")"
grep -q '^options	.*qsofShowTree' "$work/result" || fail "the tree option went: $(cat "$work/result")"
exit 0
