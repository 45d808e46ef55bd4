#!/usr/bin/env bash
# A file in use is replaced when Windows starts again: install_run extracts FOO.DLL beside
# the held one as FOO.2 (FOO.1 is taken), arranges the move for the restart, registers
# itself in RunOnce with -r and ends for the restart (exit 2). A new session of the prefix
# (wineboot) applies the move and runs the RunOnce command, which finishes the install and
# removes the run records. The test has a Wine prefix of its own: it ends that prefix's
# session.
#   install_restart.sh INSTALL_RUN ARCHIVE_RUN HOLD_FILE WINE_RUN WINEPREFIX
set -euo pipefail
installer=$1 archiver=$2 holder=$3 winerun=$4 prefix=$5
fail() { echo "install_restart: $*" >&2; exit 1; }
here=$(cd "$(dirname "$winerun")" && pwd)
source "$here/wine-lib"
arch=$(pe_arch "$installer")
enter_prefix "$prefix" "$arch" || fail "no $arch Wine prefix $prefix"

work=$(mktemp -d)
holding=""
cleanup() {
  [[ -n "$holding" ]] && { : >"$work/dest/FOO.DLL.release"; wait "$holding" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
export TZ=UTC
winpath() { local p=$work/$1; echo "Z:${p//\//\\}"; }
run() { "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$@"; }

# What an earlier run of this test may have left in the prefix.
for key in 'HKLM\Software\Kestrin' 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'; do
  "$wine_loader" reg.exe delete "$key" /f >/dev/null 2>&1 || true
done
mkdir -p src dest
printf 'new library\n' >src/FOO.DLL
printf 'old library\n' >dest/FOO.DLL
printf 'something else\n' >dest/FOO.1
cp "$installer" install_run.exe
run "$archiver" build "$(winpath files.1)" 'src\FOO.DLL' >/dev/null || fail "archive_run could not build files.1"
cat >install.form <<EOF2
object Setup: TDataModule
  object Install1: TInstall
    RunAutomatic = False
    DestDirType = nil
    DestDir = '$(winpath dest)'
    Information.ProductName = 'Demo'
  end
  object Lib: TInstallFile
    Container = Install1
    DestDirType = psContainerDestDir
    ArchiveFileType = psContainerArchiveFile
    IncludeFromDir = 'src'
    FileName = 'FOO.DLL'
    DestName = 'FOO.DLL'
  end
  object Answers: TConsoleAnswers
    Container = Install1
  end
end
EOF2

run "$holder" "$(winpath dest/FOO.DLL)" &
holding=$!
for _ in $(seq 300); do [[ -f dest/FOO.DLL.held ]] && break; sleep 0.1; done
[[ -f dest/FOO.DLL.held ]] || fail "the file could not be held"
rc=0
run "$work/install_run.exe" >out.txt 2>err.txt || rc=$?
tr -d '\r' <out.txt >out.tmp && mv out.tmp out.txt
[[ $rc == 2 ]] || { cat out.txt err.txt >&2; fail "the run ended with $rc, not 2 (for the restart)"; }
grep -qx "info -987" out.txt || fail "no restart was announced"
grep -qx "reboot" out.txt || fail "Windows was not to restart"
[[ $(cat dest/FOO.DLL) == "old library" ]] || fail "the held file changed"
[[ $(cat dest/FOO.2) == "new library" ]] || fail "the new file is not beside the held one as FOO.2"
: >dest/FOO.DLL.release
wait "$holding" || fail "the holder failed"
holding=""
rm -f dest/FOO.DLL.held dest/FOO.DLL.release

query() { "$wine_loader" reg.exe query "$@" 2>/dev/null | tr -d '\r'; }
query 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce' | grep -q 'KestrinUnfinished' ||
  fail "no RunOnce entry"
query 'HKLM\Software\Kestrin\Install' >/dev/null || fail "no run record"

# The restart: the session ends, and a new one applies the move and runs RunOnce.
"$wine_server" -k 2>/dev/null || true
"$wine_server" -w 2>/dev/null || true
timeout 300 "$wine_loader" wineboot.exe -r >/dev/null 2>&1 || fail "wineboot failed"
"$wine_server" -w 2>/dev/null || true
[[ $(cat dest/FOO.DLL) == "new library" ]] || fail "the move at the restart did not happen"
[[ ! -e dest/FOO.2 ]] || fail "FOO.2 is still there"
[[ $(cat dest/FOO.1) == "something else" ]] || fail "FOO.1 changed"
query 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce' | grep -q 'KestrinUnfinished' &&
  fail "the RunOnce entry is still there"
query 'HKLM\Software\Kestrin\Install' >/dev/null && fail "the run records are still there"
"$wine_server" -k 2>/dev/null || true
exit 0
