#!/usr/bin/env bash
# The native and the Windows archive_run read each other's archives. Each one builds an
# archive and spans it onto disk files; the other lists both the way the maker does and
# extracts every file, which must come back with its bytes and its date; then the reader
# appends a file to the maker's archive and the maker extracts it.
#   cross_build_archives.sh NATIVE_ARCHIVE_RUN WINDOWS_ARCHIVE_RUN WINE_RUN WINEPREFIX
set -euo pipefail
native=$1 windows=$2 winerun=$3 prefix=$4
fail() { echo "cross_build_archives: $*" >&2; exit 1; }
[[ -x "$native" ]] || fail "no native archive_run at $native (build the native configuration first)"
[[ -f "$windows" ]] || fail "no Windows archive_run at $windows"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC

run() {
  case "$1" in
    native) shift; "$native" "$@" ;;
    windows) shift; "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$windows" "$@" ;;
  esac
}
# Standard output without the carriage returns of the Windows console.
listing() { run "$@" | tr -d '\r'; }

head -c 300000 /dev/urandom > big.bin
head -c 8192 /dev/urandom > block.bin
printf 'line one\r\nline two\r\n' > small.txt
: > empty.dat
touch -d '2001-02-03 04:05:07' big.bin
touch -d '1999-12-31 23:59:59' block.bin
touch -d '2010-06-15 12:00:01' small.txt
touch -d '1985-01-01 00:00:03' empty.dat
printf 'appended\n' > extra.txt
touch -d '2020-02-29 10:11:13' extra.txt
files=(big.bin block.bin small.txt empty.dat)

same_file() {  # original copy
  cmp -s "$1" "$2" || fail "$2 differs from $1"
  [[ $(stat -c %Y "$1") == $(stat -c %Y "$2") ]] || fail "$2 has another date than $1"
}

for maker in native windows; do
  reader=$([[ $maker == native ]] && echo windows || echo native)
  archive=made-by-$maker.1 disks=disks-$maker
  mkdir "$disks"
  run "$maker" build "$archive" "${files[@]}" || fail "$maker could not build $archive"
  run "$maker" span "$archive" "$disks" 100000 || fail "$maker could not span $archive"
  for source in "$archive" "$disks/files.1"; do
    expected=$(listing "$maker" list "$source")
    [[ -n "$expected" ]] || fail "$maker listed nothing in $source"
    [[ $(listing "$reader" list "$source") == "$expected" ]] ||
      fail "$reader lists $source otherwise than $maker"
    out=out-$reader-$(basename "$(dirname "$source")")-$(basename "$source")
    for f in "${files[@]}"; do
      run "$reader" extract "$source" "$f" "$out/$f" || fail "$reader could not extract $f from $source"
      same_file "$f" "$out/$f"
    done
  done
  run "$reader" append "$archive" extra.txt || fail "$reader could not append to $archive"
  run "$maker" extract "$archive" extra.txt "back-$maker/extra.txt" ||
    fail "$maker could not extract what $reader appended"
  same_file extra.txt "back-$maker/extra.txt"
done
echo "cross_build_archives: both builds read each other's archives"
