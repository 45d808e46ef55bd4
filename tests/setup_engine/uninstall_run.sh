#!/usr/bin/env bash
# The uninstaller under Wine, driven by the test robot: install_run installs files, a
# registry writer and uninstall.exe itself; the uninstaller asks (its controls listed),
# "No" keeps everything, "Yes" removes the files, their folder, the written values and
# keys and the product's uninstall key, and ends with its message.
#   uninstall_run.sh INSTALL_RUN ARCHIVE_RUN UNINSTALL ROBOT WINE_RUN WINEPREFIX
set -euo pipefail
installer=$1 archiver=$2 uninstaller=$3 robot=$4 winerun=$5 prefix=$6
fail() { echo "uninstall_run: $*" >&2; exit 1; }
here=$(cd "$(dirname "$winerun")" && pwd)
source "$here/wine-lib"
enter_prefix "$prefix" "$(pe_arch "$installer")" || fail "no Wine prefix $prefix"
product=QuiltorUninstallTest
work=$(mktemp -d)
cleanup() {
  "$wine_loader" reg.exe delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product" /f >/dev/null 2>&1 || true
  "$wine_loader" reg.exe delete "HKCR\\$product" /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
winpath() { local p=$work/$1; echo "Z:${p//\//\\}"; }
run() { "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$@"; }
query() { "$wine_loader" reg.exe query "$@" >/dev/null 2>&1; }

mkdir -p src
printf 'the program\r\n' >src/app.txt
cp "$uninstaller" src/uninstall.exe
run "$archiver" build "$(winpath files.1)" 'src\app.txt' 'src\uninstall.exe' >/dev/null || fail "no archive"
cp "$installer" install_run.exe
cat >install.form <<EOF2
object Setup: TDataModule
  object Install1: TInstall
    RunAutomatic = False
    DestDirType = nil
    DestDir = '$(winpath dest)\\Demo'
    Information.ProductName = '$product'
  end
  object App: TInstallFile
    Container = Install1
    DestDirType = psContainerDestDir
    ArchiveFileType = psContainerArchiveFile
    IncludeFromDir = 'src'
    FileName = 'app.txt'
    DestName = 'app.txt'
  end
  object Uninst: TUninstallEXE
    Container = Install1
    DestDirType = psContainerDestDir
    ArchiveFileType = psContainerArchiveFile
    IncludeFromDir = 'src'
    FileName = 'uninstall.exe'
    DestName = 'uninstall.exe'
  end
  object Reg: TInstallRegistry
    Container = Install1
    RootKey = hkClassesRoot
    Key = '\\$product\\shell\\open\\command'
    Entries = <
      item
        PathSpecifier = psMainInstall
        Text = '"%p\\app.txt" "%1"'
      end>
  end
end
EOF2
install() { run "$work/install_run.exe" >out.txt 2>err.txt || { cat out.txt err.txt >&2; fail "the install failed"; }; }
uninstall() {  # ANSWER: runs the uninstaller and answers its question; its exit code in rc
  run "$work/dest/Demo/uninstall.exe" "$product" & local pid=$!
  run "$robot" find "Uninstall $product" 60 || fail "no question"
  run "$robot" controls "Uninstall $product" | tr -d '\r' >controls.txt
  grep -q "Remove $product and all of its components?" controls.txt || { cat controls.txt >&2; fail "no question text"; }
  run "$robot" click "Uninstall $product" "$1" || fail "no $1 button"
  if [[ $1 == Yes ]]; then
    for _ in $(seq 100); do run "$robot" controls "Uninstall $product" | grep -q "was removed" && break; sleep 0.2; done
    run "$robot" controls "Uninstall $product" | tr -d '\r' | grep -q "$product was removed." || fail "no final message"
    run "$robot" click "Uninstall $product" OK || fail "no OK button"
  fi
  rc=0; wait "$pid" || rc=$?
}

install
[[ -f dest/Demo/app.txt && -f dest/Demo/uninstall.exe ]] || fail "nothing installed"
query "HKCR\\$product\\shell\\open\\command" || fail "no command key"
uninstall No
[[ $rc == 1 ]] || fail "No ended with $rc, not 1"
[[ -f dest/Demo/app.txt ]] || fail "No removed a file"
query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product" || fail "No removed the records"
uninstall Yes
[[ $rc == 0 ]] || fail "Yes ended with $rc, not 0"
[[ ! -e dest/Demo/app.txt ]] || fail "app.txt is still there"
query "HKCR\\$product\\shell\\open\\command" && fail "the command key is still there"
query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product" && fail "the uninstall key is still there"
exit 0
