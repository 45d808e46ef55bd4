#!/usr/bin/env bash
# The distribution under Wine: setup -b (install_run as the setup program) builds the
# self-extracting setup.exe in a staging folder; archive_run finds every file in it; the
# loader in front unpacks the setup part, starts the setup with -e -s -c, which installs
# from the archive behind it and cleans the loader's folder away; "*TODISK" copies the
# installation onto A: (a folder mapped in the prefix), from where the loader installs
# again; a cut setup.exe is refused in a message box (the test robot answers it), exit 1,
# nothing left. The test has a Wine prefix of its own (it maps a drive).
#   build_run.sh INSTALL_RUN ARCHIVE_RUN LOADER ROBOT WINE_RUN WINEPREFIX
set -euo pipefail
installer=$1 archiver=$2 loader=$3 robot=$4 winerun=$5 prefix=$6
fail() { echo "build_run: $*" >&2; exit 1; }
here=$(cd "$(dirname "$winerun")" && pwd)
source "$here/wine-lib"
arch=$(pe_arch "$installer")
enter_prefix "$prefix" "$arch" || fail "no $arch Wine prefix $prefix"

work=$(mktemp -d)
cleanup() {
  rm -f "$prefix/dosdevices/a:"
  "$wine_loader" reg.exe delete 'HKLM\Software\Halden' /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
export TZ=UTC
winpath() { local p=$work/$1; echo "Z:${p//\//\\}"; }
run() { "$winerun" --prefix "$prefix" --timeout 180 --mode plain "$@"; }
same() { cmp -s "$1" "$2" || fail "$2 differs from $1"; }
temps() { find "$prefix/drive_c" -maxdepth 5 -iname 'kst*' 2>/dev/null | grep -i '/temp/' || true; }

mkdir -p src/help lib floppy
head -c 200000 /dev/urandom >src/app.exe
printf '<p>help</p>\r\n' >src/help/index.htm
cp "$installer" setup.exe
cp "$loader" lib/KestrinLoadProgram.exe
: >lib/K32V31.TXT
"$wine_loader" reg.exe add 'HKLM\Software\Halden\K32V31' /ve /d "$(winpath nowhere);$(winpath lib)" /f >/dev/null ||
  fail "cannot name the library folder"
printf '%s\r\n' "$(winpath dist)" >BUILD.INF
cat >install.form <<EOF2
object Setup: TDataModule
  object Install1: TInstall
    RunAutomatic = False
    DestDirType = nil
    DestDir = '$(winpath dest)'
    Information.ProductName = 'Demo'
    PresetupFiles = ('install.form')
  end
  object App: TInstallFile
    Container = Install1
    DestDirType = psContainerDestDir
    ArchiveFileType = psContainerArchiveFile
    IncludeFromDir = 'src'
    FileName = 'app.exe'
    DestName = 'app.exe'
  end
  object Help: TInstallFileGroup
    Container = Install1
    DestDirType = psContainerDestDir
    DestDir = '\help'
    ArchiveFileType = psContainerArchiveFile
  end
  object Index: TInstallFile
    Container = Help
    DestDirType = psContainerDestDir
    ArchiveFileType = psContainerArchiveFile
    IncludeFromDir = 'src\help'
    FileName = 'index.htm'
    DestName = 'index.htm'
  end
end
EOF2

# Build mode.
rc=0
run "$work/setup.exe" -b >out.txt 2>err.txt || rc=$?
[[ $rc == 0 ]] || { cat out.txt err.txt >&2; fail "the build ended with $rc"; }
for f in setup.exe setup.1 files.1; do [[ -s dist/$f ]] || fail "the build wrote no $f"; done
tail=$(run "$archiver" tail "$(winpath dist/setup.exe)" | tr -d '\r')
read -r loaderSize setupLast archiveAt archiveLast <<<"$tail"
[[ $loaderSize == $(stat -c %s "$loader") ]] || fail "the tail's loader size $loaderSize is not the loader's"
[[ $((archiveLast + 57)) == $(stat -c %s dist/setup.exe) ]] || fail "the archive does not end before the tail"
names=$(run "$archiver" list "$(winpath dist/setup.exe)" "$archiveAt" | tr -d '\r' | cut -f1 | sort)
[[ $names == $'src\\app.exe\nsrc\\help\\index.htm' ]] || fail "the archive holds: $names"
run "$archiver" extract "$(winpath dist/setup.exe)" 'src\app.exe' "$(winpath app.copy)" "$archiveAt" >/dev/null
same src/app.exe app.copy

# The loader installs from itself and leaves no folder behind.
rc=0
run "$work/dist/setup.exe" >out.txt 2>err.txt || rc=$?
[[ $rc == 0 ]] || { cat out.txt err.txt >&2; fail "the self-extracting install ended with $rc"; }
same src/app.exe dest/app.exe
same src/help/index.htm dest/help/index.htm
for _ in $(seq 100); do [[ -z $(temps) ]] && break; sleep 0.1; done
[[ -z $(temps) ]] || fail "the loader's folder is still there: $(temps)"

# *TODISK onto A:, then an install from the floppy set.
ln -sfn "$work/floppy" "$prefix/dosdevices/a:"
rc=0
run "$work/dist/setup.exe" '*TODISK' >out.txt 2>err.txt || rc=$?
[[ $rc == 0 ]] || { cat out.txt err.txt >&2; fail "the transfer ended with $rc"; }
cmp -s <(head -c "$loaderSize" dist/setup.exe) floppy/setup.exe || fail "the floppy's setup.exe is not the loader"
same dist/setup.1 floppy/setup.1
names=$(run "$archiver" list "$(winpath floppy/files.1)" | tr -d '\r' | cut -f1 | sort)
[[ $names == $'src\\app.exe\nsrc\\help\\index.htm' ]] || fail "the floppy's archive holds: $names"
rm -rf dest
rc=0
run "$work/floppy/setup.exe" >out.txt 2>err.txt || rc=$?
[[ $rc == 0 ]] || { cat out.txt err.txt >&2; fail "the install from the floppies ended with $rc"; }
same src/app.exe dest/app.exe
for _ in $(seq 100); do [[ -z $(temps) ]] && break; sleep 0.1; done
[[ -z $(temps) ]] || fail "the loader's folder is still there: $(temps)"

# A damaged self-extracting file: its tail says the setup part runs past the file's end.
cp dist/setup.exe cut.exe
printf '\xff\xff\xff\x7f' | dd of=cut.exe bs=1 seek=$(($(stat -c %s cut.exe) - 36)) conv=notrunc status=none
run "$work/cut.exe" >out.txt 2>err.txt & pid=$!
run "$robot" find Setup 60 || fail "no message for the cut setup.exe"
run "$robot" controls Setup | tr -d '\r' >controls.txt
grep -q "Could not read the extraction info from the archive file" controls.txt ||
  { run "$robot" close Setup; cat controls.txt >&2; fail "the message does not name the extraction info"; }
run "$robot" click Setup OK || fail "no OK button"
rc=0; wait "$pid" || rc=$?
[[ $rc == 1 ]] || fail "the cut setup.exe ended with $rc, not 1"
[[ -z $(temps) ]] || fail "the cut setup.exe left $(temps)"
"$wine_server" -k 2>/dev/null || true
exit 0
