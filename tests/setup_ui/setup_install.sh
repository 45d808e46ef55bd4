#!/usr/bin/env bash
# The distribution installed as a user installs it: dist/setup.exe in a fresh Wine prefix,
# its wizard walked by the test robot (Welcome, components, a typed Start-menu folder,
# Finish), then what the install left: the staged files, links that load back to their
# targets, the Internet shortcuts, the file association, the uninstall records and
# nothing of the loader or of a restart;
# the installed Quiltor32.exe starts; the uninstaller removes what was recorded. Cancel on
# the welcome page ends with "Setup incomplete", installs nothing and exits non-zero. An
# installed newer association ("QuiltorVersion" above 21) keeps its icon, commands and
# new-file entry; an equal one or one that is no integer is written over.
#   setup_install.sh DIST STAGE ROBOT LINK_READ ARCHIVE_RUN WINE_RUN PREFIX
set -euo pipefail
dist=$1 stage=$2 robot=$3 linkread=$4 archiver=$5 winerun=$6 prefix=$7
fail() { echo "setup_install: $*" >&2; exit 1; }
here=$(cd "$(dirname "$winerun")" && pwd)
source "$here/wine-lib"
arch=$(pe_arch "$dist/setup.exe")
# A fresh prefix for every run: nothing of an earlier install may count.
rm -rf "$prefix"
enter_prefix "$prefix" "$arch" || fail "no $arch Wine prefix $prefix"
# A new prefix links the user's Desktop to the home folder: the desktop link stays inside.
desktop_dir=$prefix/drive_c/users/$(id -un)/Desktop
[[ -L $desktop_dir ]] && rm -f "$desktop_dir"
mkdir -p "$desktop_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
run() { "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$@"; }
reg() { "$wine_loader" reg.exe "$@" 2>/dev/null | tr -d '\r'; }
# value KEY [NAME]: the data of a string value, "<none>" when there is no such value.
value() {
  local out
  if [[ $# == 1 ]]; then out=$(reg query "$1" /ve) || { echo "<none>"; return; }
  else out=$(reg query "$1" /v "$2") || { echo "<none>"; return; }; fi
  grep -m1 'REG_SZ' <<<"$out" | sed -E 's/^ +[^ ].*REG_SZ {4}//' || echo "<none>"
}
expect() { [[ $2 == "$3" ]] || fail "$1 is '$2', not '$3'"; }
unix() { local p=${1#C:}; echo "$prefix/drive_c${p//\\//}"; }
product='Quiltor Snapmend'
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
dest='C:\Program Files\Quiltor32'
destdir=$(unix "$dest")
temps() { find "$prefix/drive_c" -maxdepth 6 -iname 'kst*' 2>/dev/null | grep -i '/temp/' || true; }

folder_page='Select folder in start menu'
group_name='Quiltor Tools'
# page CAPTION BUTTON: waits for the page and clicks its button.
page() {
  run "$robot" find "$1" 60 || fail "no page '$1'"
  run "$robot" click "$1" "$2" || fail "no button '$2' on '$1'"
}
# install: one run through the wizard; its exit code in rc.
install() {
  local start=$SECONDS
  run "$dist/setup.exe" >"$work/out.txt" 2>&1 & local pid=$!
  page Welcome 'Next >'
  page 'Select components to install' 'Next >'
  run "$robot" find "$folder_page" 60 || fail "no page '$folder_page'"
  run "$robot" set "$folder_page" 0 "$group_name" || fail "no folder edit"
  run "$robot" click "$folder_page" 'Next >' || fail "no button 'Next >' on '$folder_page'"
  page 'Setup complete' Finish
  rc=0; wait "$pid" || rc=$?
  echo "setup_install: an install took $((SECONDS - start)) s"
}

# The distribution as the archive reader sees it: the loader, the setup part and the
# archive before the tail; every file under its short staged name, equal to the staged one.
winpath() { echo "Z:${1//\//\\}"; }
read -r _ _ archive_at archive_last <<<"$(run "$archiver" tail "$(winpath "$dist/setup.exe")" | tr -d '\r')"
[[ $((archive_last + 57)) == $(stat -c %s "$dist/setup.exe") ]] || fail "the archive does not end before the tail"
names=$(run "$archiver" list "$(winpath "$dist/setup.exe")" "$archive_at" | tr -d '\r' | cut -f1 | sort)
expected=$({ echo 'program\Quiltor32.exe'; echo 'program\uninstall.exe'
  for f in selector.html index.html history.htm Form1_page_Expert.html readme.htm liesmich.htm faq.htm \
           minipnkt.gif quiltor.gif bk101.gif bar.gif; do echo "help\\$f"; done; } | sort)
[[ $names == "$expected" ]] || fail "the archive holds: $names"
while read -r name; do
  run "$archiver" extract "$(winpath "$dist/setup.exe")" "$name" "$(winpath "$work/entry")" "$archive_at" >/dev/null ||
    fail "cannot extract $name"
  cmp -s "$stage/${name//\\//}" "$work/entry" || fail "$name differs from the staged file"
done <<<"$names"
[[ $(run "$archiver" list "$(winpath "$dist/setup.1")" | tr -d '\r' | cut -f1) == setup.exe ]] ||
  fail "setup.1 does not hold setup.exe alone"

install
[[ $rc == 0 ]] || { cat "$work/out.txt" >&2; fail "setup.exe ended with $rc"; }
for f in Quiltor32.exe uninstall.exe; do cmp -s "$stage/program/$f" "$destdir/$f" || fail "$f differs from the staged one"; done
helps=(selector.html index.html history.htm Form1_page_Expert.html readme.htm liesmich.htm faq.htm
       minipnkt.gif quiltor.gif bk101.gif bar.gif)
for f in "${helps[@]}"; do cmp -s "$stage/help/$f" "$destdir/help/$f" || fail "help/$f differs from the staged one"; done
[[ $(ls "$destdir/help" | wc -l) == ${#helps[@]} ]] || fail "help holds $(ls "$destdir/help")"

# The links and Internet shortcuts, wherever the prefix keeps its Programs and Desktop.
group=$(find "$prefix/drive_c" -type d -name "$group_name" -path '*Programs*' | head -1)
[[ -n $group ]] || fail "no program group '$group_name'"
desktop=$desktop_dir/Snapmend.LNK
[[ -f $desktop ]] || fail "no desktop link"
winof() { local p=${1#"$prefix/drive_c"}; echo "C:${p//\//\\}"; }
target() { run "$linkread" "$(winof "$1")" | tr -d '\r' | head -1; }
expect "the program link's target" "$(target "$group/Quiltor Snapmend.LNK")" "$dest\\Quiltor32.exe"
expect "the documentation link's target" "$(target "$group/Quiltor Documentation.LNK")" "$dest\\help\\readme.htm"
expect "the FAQ link's target" "$(target "$group/Quiltor FAQ.LNK")" "$dest\\help\\faq.htm"
expect "the desktop link's target" "$(target "$desktop")" "$dest\\Quiltor32.exe"
for u in 'Quiltor Snapmend Homepage' 'Most Recent Quiltor Documentation' 'Recommended product links' \
         'Quiltor Update Notification'; do
  grep -q '^URL=http://www.norvale.example/quiltor/' "$group/Internet/$u.URL" || fail "$u.URL names no page"
done

# The file association, with the installed folder in its commands.
expect "the association's name" "$(value 'HKCR\quiltor')" 'Patchfile created using Quiltor Technology'
expect "QuiltorVersion" "$(value 'HKCR\quiltor' QuiltorVersion)" 21
expect "the icon" "$(value 'HKCR\quiltor\DefaultIcon')" "$dest\\Quiltor32.exe,1"
expect "the open command" "$(value 'HKCR\quiltor\shell\open\command')" "\"$dest\\mendr32.exe\" \"%1\""
expect "the test command" "$(value 'HKCR\quiltor\shell\Test Apply\command')" "\"$dest\\mendr32.exe\" -t \"%1\""
expect "the extension" "$(value 'HKCR\.utp')" quiltor
expect "the extension's @ value" "$(value 'HKCR\.utp' @)" Quiltor
expect "the new-file entry" "$(value 'HKCR\.utp\ShellNew' NullFile)" '""'

# The uninstall records: the product, the quoted uninstaller, the files and the keys.
expect "DisplayName" "$(value "$uninstall_key" DisplayName)" "$product"
expect "UninstallString" "$(value "$uninstall_key" UninstallString)" "\"$dest\\uninstall.exe\" $product"
files=$(reg query "$uninstall_key\\Files" | grep -c 'File[0-9]')
links=$((3 + 4 + 1))
[[ $files == $((2 + ${#helps[@]} + links)) ]] || fail "$files files are recorded"
reg query "$uninstall_key\\Files" | grep -qF "$dest\\help\\bar.gif" || fail "help\\bar.gif is not recorded"
reg query "$uninstall_key\\Files" | grep -qF "Desktop\\Snapmend.LNK" || fail "the desktop link is not recorded"
expect "the recorded registry keys" "$(value "$uninstall_key\\RegistryKeys" Entries)" 9
expect "the first recorded key" "$(value "$uninstall_key\\RegistryKeys\\RegistryKey1" Key)" '\quiltor'
# Nothing of the setup's own: no install key, no restart entry, no loader folder.
reg query 'HKLM\SOFTWARE\Kestrin' >/dev/null && fail "the setup left HKLM\\SOFTWARE\\Kestrin"
[[ -z $(reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce' | grep -i REG_) ]] ||
  fail "the setup left a RunOnce value"
for _ in $(seq 100); do [[ -z $(temps) ]] && break; sleep 0.1; done
[[ -z $(temps) ]] || fail "the loader's folder is still there: $(temps)"

# The installed program starts and shows its main window.
(cd "$destdir" && "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$destdir/Quiltor32.exe") \
  >"$work/quiltor.txt" 2>&1 & qpid=$!
run "$robot" find "$product" 60 || fail "the installed Quiltor32.exe showed no main window"
run "$robot" close "$product" || true
wait "$qpid" || true

# The uninstaller removes what was recorded.
# As the recorded UninstallString runs it: the product name unquoted.
run "$destdir/uninstall.exe" $product & upid=$!
run "$robot" find "Uninstall $product" 60 || fail "the uninstaller asked nothing"
run "$robot" click "Uninstall $product" Yes || fail "no Yes button"
for _ in $(seq 100); do run "$robot" controls "Uninstall $product" | grep -q "was removed" && break; sleep 0.2; done
run "$robot" click "Uninstall $product" OK || fail "no final message"
rc=0; wait "$upid" || rc=$?
[[ $rc == 0 ]] || fail "the uninstaller ended with $rc"
for f in Quiltor32.exe help/index.html; do [[ ! -e $destdir/$f ]] || fail "$f is still there"; done
[[ ! -e "$group/Quiltor Snapmend.LNK" && ! -e $desktop ]] || fail "the links are still there"
[[ $(value 'HKCR\quiltor\shell\open\command') == '<none>' ]] || fail "the open command is still there"
reg query "$uninstall_key" >/dev/null && fail "the uninstall key is still there"

# Cancel on the welcome page: the failure page, nothing installed, a non-zero exit.
run "$dist/setup.exe" >"$work/out.txt" 2>&1 & pid=$!
page Welcome Cancel
page 'Setup incomplete' Finish
rc=0; wait "$pid" || rc=$?
[[ $rc != 0 ]] || fail "a cancelled setup ended with 0"
[[ ! -e $destdir/Quiltor32.exe ]] || fail "a cancelled setup installed Quiltor32.exe"
reg query "$uninstall_key" >/dev/null && fail "a cancelled setup wrote the uninstall key"

# An installed association: a newer version keeps its own, any other is written over.
for stored in 22 21 2.2; do
  reg add 'HKCR\quiltor' /v QuiltorVersion /d "$stored" /f >/dev/null
  reg add 'HKCR\quiltor\DefaultIcon' /ve /d 'newer.exe,0' /f >/dev/null
  reg add 'HKCR\quiltor\shell\open\command' /ve /d 'newer.exe "%1"' /f >/dev/null
  reg add 'HKCR\.utp\ShellNew' /v NullFile /d 'newer' /f >/dev/null
  install
  [[ $rc == 0 ]] || { cat "$work/out.txt" >&2; fail "setup.exe over version $stored ended with $rc"; }
  if [[ $stored == 22 ]]; then
    expect "QuiltorVersion over 22" "$(value 'HKCR\quiltor' QuiltorVersion)" 22
    expect "the icon over 22" "$(value 'HKCR\quiltor\DefaultIcon')" 'newer.exe,0'
    expect "the open command over 22" "$(value 'HKCR\quiltor\shell\open\command')" 'newer.exe "%1"'
    expect "the new-file entry over 22" "$(value 'HKCR\.utp\ShellNew' NullFile)" newer
    expect "the test command over 22" "$(value 'HKCR\quiltor\shell\Test Apply\command')" '<none>'
  else
    expect "QuiltorVersion over $stored" "$(value 'HKCR\quiltor' QuiltorVersion)" 21
    expect "the icon over $stored" "$(value 'HKCR\quiltor\DefaultIcon')" "$dest\\Quiltor32.exe,1"
    expect "the open command over $stored" "$(value 'HKCR\quiltor\shell\open\command')" "\"$dest\\mendr32.exe\" \"%1\""
    expect "the new-file entry over $stored" "$(value 'HKCR\.utp\ShellNew' NullFile)" '""'
  fi
  reg delete 'HKCR\quiltor' /f >/dev/null || true
done
"$wine_server" -k 2>/dev/null || true
exit 0
