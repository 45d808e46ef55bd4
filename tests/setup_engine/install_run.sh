#!/usr/bin/env bash
# Whole installations by install_run from archives that archive_run builds: a nested
# definition installs byte for byte, also with components left out and from disks; the
# overwrite modes against older and newer files; a cancel in the middle of a file,
# corrupt and missing archives and a bad switch leave the old files as they were. Under Wine
# also: the version mode against programs of an older and a newer version, an in-process and
# a local server registered, and installs over HTTP and FTP from servers on the loopback that
# this script starts (as root: ports 80 and 21), with a missing remote file and a hostile
# list of remote files.
#   install_run.sh native INSTALL_RUN ARCHIVE_RUN
#   install_run.sh windows INSTALL_RUN ARCHIVE_RUN WINE_RUN WINEPREFIX SERVER_DLL SERVER_EXE VERSIONED_EXE
set -euo pipefail
kind=$1 installer=$2 archiver=$3 winerun=${4:-} prefix=${5:-} serverdll=${6:-} serverexe=${7:-}
versioned=${8:-}
fail() { echo "install_run.sh: $*" >&2; exit 1; }
[[ -f "$installer" ]] || fail "no install_run at $installer"
[[ -f "$archiver" ]] || fail "no archive_run at $archiver"

work=$(mktemp -d)
servers=()
cleanup() {
  for p in "${servers[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
export TZ=UTC

# The program's path for a path of this folder, and a separator for the archives' names.
if [[ $kind == windows ]]; then
  sep='\'
  path() { local p=$work/$1; echo "Z:${p//\//\\}"; }
  run() { "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$@"; }
else
  sep=/
  path() { echo "$work/$1"; }
  run() { "$@"; }
fi
# Runs install_run with a definition; output (without carriage returns) in out.txt and
# err.txt, the exit code in rc.
install() {
  local definition=$1; shift
  rc=0
  run "$installer" --definition "$(path "$definition")" "$@" >out.txt 2>err.txt || rc=$?
  tr -d '\r' <out.txt >out.tmp && mv out.tmp out.txt
  tr -d '\r' <err.txt >err.tmp && mv err.tmp err.txt
}
archive() {  # ARCHIVE FILE... (names below src)
  local a=$1; shift
  local names=()
  for f in "$@"; do names+=("src$sep$f"); done
  run "$archiver" build "$(path "$a")" "${names[@]}" >/dev/null || fail "archive_run could not build $a"
}
expect_rc() {
  [[ $rc == "$1" ]] || { cat out.txt err.txt >&2; fail "$2: exit code $rc, not $1"; }
}
same() { cmp -s "$1" "$2" || fail "$2 differs from $1"; }
has() { grep -qxF -- "$2" "$1" || { cat "$1" >&2; fail "$1 lacks the line: $2"; }; }

mkdir -p src/sub
head -c 300000 /dev/urandom >src/big.bin
printf 'read me\r\n' >src/readme.txt
printf 'the manual\r\n' >src/sub/manual.txt
: >src/empty.dat
modes=(always-old always-new never-old never-new date-old date-new vdate-old vdate-new)
for f in "${modes[@]}"; do printf 'new %s\n' "$f" >"src/$f.txt"; done
touch -d '2010-06-15 12:00:00' src/*.txt src/sub/*.txt

# One file of the definition.
file() {  # NAME FILENAME [CONTAINER [EXTRA]]
  cat <<EOF
  object $1: TInstallFile
    Container = ${3:-Install1}
    DestDirType = psContainerDestDir
    ArchiveFileType = psContainerArchiveFile
    IncludeFromDir = 'src'
    FileName = '$2'
    DestName = '${2##*"$sep"}'
${4:-}  end
EOF
}
driver() {  # [EXTRA]
  cat <<EOF
object Setup: TDataModule
  object Install1: TInstall
    RunAutomatic = False
    DestDirType = psProgramFiles
    DestDir = '\Demo'
    Information.ProductName = 'Demo'
${1:-}  end
EOF
}
answers() { printf '  object Answers: TConsoleAnswers\n    Container = Install1\n  end\nend\n'; }

# A driver, a group with a folder of its own, and files in both, from the main archive.
{
  driver
  file ReadMe readme.txt
  file Big big.bin
  file Empty empty.dat
  cat <<EOF
  object Docs: TInstallFileGroup
    Container = Install1
    DestDirType = psContainerDestDir
    DestDir = '\docs'
    ArchiveFileType = psContainerArchiveFile
  end
EOF
  file Manual "sub${sep}manual.txt" Docs
  answers
} >nested.form
mkdir nested
archive nested/files.1 readme.txt big.bin empty.dat "sub${sep}manual.txt"
install nested.form --dest "$(path nested/dest)" "-s$(path nested)"
expect_rc 0 "the nested install"
same src/readme.txt nested/dest/readme.txt
same src/big.bin nested/dest/big.bin
same src/empty.dat nested/dest/empty.dat
same src/sub/manual.txt nested/dest/docs/manual.txt
has out.txt "info -986"
has out.txt "progress 100"
has out.txt "info -995"
[[ $(head -1 out.txt) == "info -984" && $(tail -1 out.txt) == "info -979" ]] ||
  { cat out.txt >&2; fail "the good run starts or ends otherwise"; }

# The answers: a component left out, a run cancelled when the install is to begin, and an
# archive spanned over disks, each further disk served from one folder.
install nested.form --dest "$(path nested/less)" --exclude Docs --exclude Big "-s$(path nested)"
expect_rc 0 "the install without Docs and Big"
same src/readme.txt nested/less/readme.txt
[[ ! -e nested/less/big.bin && ! -e nested/less/docs ]] || fail "an excluded component was installed"
install nested.form --dest "$(path nested/none)" --cancel-at -980 "-s$(path nested)"
expect_rc 1 "the run cancelled at -980"
[[ ! -e nested/none ]] || fail "the cancelled run installed files"
[[ $(tail -2 out.txt | tr '\n' ' ') == "info -994 info -978 " ]] || { cat out.txt >&2; fail "the cancelled run ends otherwise"; }
mkdir spanned
run "$archiver" span "$(path nested/files.1)" "$(path spanned)" 100000 >/dev/null || fail "archive_run could not span"
[[ -f spanned/files.3 ]] || fail "the archive was not spanned over three disks"
mkdir spanned/first && mv spanned/files.1 spanned/first/
install nested.form --dest "$(path spanned/dest)" --disk "$(path spanned)" "-s$(path spanned/first)"
expect_rc 0 "the spanned install"
same src/big.bin spanned/dest/big.bin
same src/sub/manual.txt spanned/dest/docs/manual.txt
[[ $(grep -cx "info -993" out.txt) -ge 2 ]] || { cat out.txt >&2; fail "the further disks were not asked for"; }

# The overwrite modes against an older and a newer destination.
{
  driver
  file AlwaysOld always-old.txt Install1 $'    OverwriteMode = owAlways\n'
  file AlwaysNew always-new.txt Install1 $'    OverwriteMode = owAlways\n'
  file NeverOld never-old.txt Install1 $'    OverwriteMode = owNever\n'
  file NeverNew never-new.txt Install1 $'    OverwriteMode = owNever\n'
  file DateOld date-old.txt Install1 $'    OverwriteMode = owDate\n'
  file DateNew date-new.txt Install1 $'    OverwriteMode = owDate\n'
  file VDateOld vdate-old.txt Install1 $'    OverwriteMode = owVersionDate\n'
  file VDateNew vdate-new.txt Install1 $'    OverwriteMode = owVersionDate\n'
  answers
} >modes.form
mkdir -p modes/dest
archive modes/files.1 "${modes[@]/%/.txt}"
for f in "${modes[@]}"; do printf 'old %s\n' "$f" >"modes/dest/$f.txt"; done
touch -d '2001-01-01 00:00:00' modes/dest/*-old.txt
touch -d '2020-01-01 00:00:00' modes/dest/*-new.txt
install modes.form --dest "$(path modes/dest)" "-s$(path modes)"
expect_rc 0 "the overwrite modes"
for f in always-old always-new date-old vdate-old; do same "src/$f.txt" "modes/dest/$f.txt"; done
for f in never-old never-new date-new vdate-new; do
  [[ $(cat "modes/dest/$f.txt") == "old $f" ]] || fail "$f.txt was replaced"
done

# Runs that fail leave the old files as they were and no partial file.
{
  driver
  file ReadMe readme.txt
  file Big big.bin
  file Manual "sub${sep}manual.txt"
  answers
} >bad.form
mkdir bad
archive bad/files.1 readme.txt big.bin "sub${sep}manual.txt"
fresh_dest() {
  rm -rf bad/dest && mkdir -p bad/dest
  printf 'old readme\n' >bad/dest/readme.txt
  printf 'old big\n' >bad/dest/big.bin
  printf 'old manual\n' >bad/dest/manual.txt
}
unchanged() {  # what: the files that stay old
  for f in "$@"; do
    [[ $(cat "bad/dest/$f") == "old ${f%.*}" ]] || fail "$f was changed"
  done
  [[ $(ls bad/dest | wc -l) == 3 ]] || { ls -la bad/dest >&2; fail "a file was left beside the old ones"; }
}
# A cancel in the middle of the big file: the file before it is installed, it and the
# file after it stay as they were.
fresh_dest
install bad.form --dest "$(path bad/dest)" --cancel-in big.bin "-s$(path bad)"
expect_rc 1 "the cancelled run"
same src/readme.txt bad/dest/readme.txt
unchanged big.bin manual.txt
has out.txt "info -994"
# A corrupt archive: its middle overwritten.
cp bad/files.1 bad/good.1
size=$(stat -c %s bad/files.1)
head -c 4096 /dev/urandom | dd of=bad/files.1 bs=1 seek=$((size / 2)) conv=notrunc status=none
fresh_dest
install bad.form --dest "$(path bad/dest)" "-s$(path bad)"
expect_rc 1 "the corrupt archive"
unchanged big.bin manual.txt
[[ -s err.txt ]] || fail "the corrupt archive gave no message"
# A truncated archive.
head -c $((size / 3)) bad/good.1 >bad/files.1
fresh_dest
install bad.form --dest "$(path bad/dest)" "-s$(path bad)"
expect_rc 1 "the truncated archive"
unchanged big.bin manual.txt
# A missing archive.
rm bad/files.1
fresh_dest
install bad.form --dest "$(path bad/dest)" "-s$(path bad)"
expect_rc 1 "the missing archive"
unchanged readme.txt big.bin manual.txt
grep -q "Cannot open the compressed file" err.txt || { cat err.txt >&2; fail "no message for the missing archive"; }
# A switch the driver does not know, and a definition that is not there.
mv bad/good.1 bad/files.1
fresh_dest
install bad.form --dest "$(path bad/dest)" -x
expect_rc 1 "the unknown switch"
has err.txt "Invalid parameter <-x>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e (Called by self-extractor), -r (After reboot)"
unchanged readme.txt big.bin manual.txt
install nothing.form
expect_rc 1 "a missing definition"
[[ -s err.txt ]] || fail "the missing definition gave no message"
# Definitions refused while they load: one cut short, and one whose destination name
# is no file name.
head -n 5 bad.form >broken.form
install broken.form --dest "$(path bad/dest)" "-s$(path bad)"
expect_rc 1 "a definition cut short"
[[ -s err.txt ]] || fail "the definition cut short gave no message"
sed "s/DestName = 'readme.txt'/DestName = '..'/" bad.form >badname.form
install badname.form --dest "$(path bad/dest)" "-s$(path bad)"
expect_rc 1 "a destination name that is no file name"
grep -q "is not a plain file name" err.txt || { cat err.txt >&2; fail "no message for the destination name"; }
unchanged readme.txt big.bin manual.txt

[[ $kind == windows ]] || exit 0

# The version mode: the archived program (its version resource says 3.14.15.92) replaces a
# copy that says 1.0.0.0 and keeps one that says 9.0.0.0; the dates do not count.
with_version() {  # FILE MAJOR: FILE's fixed version information says MAJOR.0.0.0
  /usr/bin/python3 - "$1" "$2" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(struct.pack("<I", 0xFEEF04BD), data.find("VS_VERSION_INFO".encode("utf-16-le")))
assert at > 0, "no fixed version information"
struct.pack_into("<II", data, at + 8, int(sys.argv[2]) << 16, 0)
open(sys.argv[1], "wb").write(bytes(data))
EOF
}
cp "$versioned" src/vers-old.exe
cp "$versioned" src/vers-new.exe
{
  driver
  file VersOld vers-old.exe Install1 $'    OverwriteMode = owVersion\n'
  file VersNew vers-new.exe Install1 $'    OverwriteMode = owVersion\n'
  answers
} >versions.form
mkdir -p versions/dest
archive versions/files.1 vers-old.exe vers-new.exe
cp "$versioned" versions/dest/vers-old.exe && with_version versions/dest/vers-old.exe 1
cp "$versioned" versions/dest/vers-new.exe && with_version versions/dest/vers-new.exe 9
touch -d '2030-01-01 00:00:00' versions/dest/vers-old.exe
touch -d '2001-01-01 00:00:00' versions/dest/vers-new.exe
cp -p versions/dest/vers-new.exe versions/newer.exe
install versions.form --dest "$(path versions/dest)" "-s$(path versions)"
expect_rc 0 "the version mode"
same src/vers-old.exe versions/dest/vers-old.exe
same versions/newer.exe versions/dest/vers-new.exe

# Servers: the library's DllRegisterServer and the program's /REGSERVER run in the
# destination folder, and the record names them as servers.
cp "$serverdll" src/server.dll
cp "$serverexe" src/server.exe
{
  driver
  file Dll server.dll Install1 $'    ActiveX = True\n'
  file Exe server.exe Install1 $'    ActiveX = True\n'
  answers
} >servers.form
mkdir servers
archive servers/files.1 server.dll server.exe
install servers.form --dest "$(path servers/dest)" "-s$(path servers)"
expect_rc 0 "the servers' install"
same src/server.dll servers/dest/server.dll
[[ -f servers/dest/dll-registered.txt ]] || fail "the library was not registered"
[[ -f servers/dest/exe-registered.txt ]] || fail "the program was not registered"

# Net installs: the driver's archive is "Install1.1" in the server's folder pub/setup, with
# the list of remote files beside it.
mkdir -p served/pub/setup
archive served/pub/setup/Install1.1 readme.txt big.bin "sub${sep}manual.txt"
printf '\0\0\0\0' >served/pub/setup/filelist.lst
wait_port() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no server on port $1"
}
/usr/bin/python3 -m http.server 80 --bind 127.0.0.1 --directory served >http.log 2>&1 &
servers+=($!)
/usr/bin/python3 -c '
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
a = DummyAuthorizer()
a.add_anonymous(sys.argv[1])
FTPHandler.authorizer = a
FTPServer(("127.0.0.1", 21), FTPHandler).serve_forever()
' "$work/served" >ftp.log 2>&1 &
servers+=($!)
wait_port 80
wait_port 21
for protocol in ipHTTP ipFTP; do
  login="    DistributeType = dtWeb
    LoginInformation.Hostname = '127.0.0.1'
    LoginInformation.Directory = 'pub\\setup'
    LoginInformation.Protocol = $protocol
"
  { driver "$login"; file ReadMe readme.txt; file Big big.bin; file Manual "sub${sep}manual.txt"; answers; } >net.form
  rm -rf net && mkdir net
  install net.form --dest "$(path net/dest)" "-s$(path net)"
  expect_rc 0 "the $protocol install"
  same src/readme.txt net/dest/readme.txt
  same src/big.bin net/dest/big.bin
  same src/sub/manual.txt net/dest/manual.txt
  # A file that is not on the server.
  mv served/pub/setup/Install1.1 served/pub/setup/Moved.1
  install net.form --dest "$(path net/missing)" "-s$(path net)"
  mv served/pub/setup/Moved.1 served/pub/setup/Install1.1
  expect_rc 1 "the $protocol install of a missing file"
  [[ ! -e net/missing ]] || fail "the failed $protocol install left files"
  grep -q "Install1.1" err.txt || { cat err.txt >&2; fail "the $protocol failure does not name the file"; }
done
# A list of remote files that claims more entries than it holds.
printf '\377\377\377\177' >served/pub/setup/filelist.lst
install net.form --dest "$(path net/hostile)" "-s$(path net)"
expect_rc 1 "the hostile list of remote files"
[[ ! -e net/hostile ]] || fail "the hostile list left files"
grep -q "Cannot read the remote list of files" err.txt || { cat err.txt >&2; fail "no message for the hostile list"; }
