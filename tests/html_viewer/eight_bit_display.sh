#!/usr/bin/env bash
# Runs the viewer's palette tests on a private 8-bit Xvfb display, in a Wine prefix of their
# own (made on first use), and stops that prefix's Wine and the display afterwards.
#   eight_bit_display.sh WINE_RUN PREFIX TEST.exe
set -euo pipefail
winerun=$1 prefix=$2 program=$3
fail() { echo "eight_bit_display: $*" >&2; exit 1; }
command -v Xvfb >/dev/null || fail "Xvfb is not installed"
fdfile=$(mktemp)
setsid Xvfb -displayfd 3 -screen 0 640x480x8 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  source "$(dirname "$winerun")/wine-lib"
  arch=$(pe_arch "$program") && use_wine "$arch" "$prefix" && "$wine_server" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$fdfile"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  [[ -s "$fdfile" ]] && break
  sleep 0.1
done
[[ -s "$fdfile" ]] || fail "the 8-bit Xvfb did not start"
export DISPLAY=":$(head -n1 "$fdfile")"
QUILTOR_EXPECT_8BIT=1 "$winerun" --prefix "$prefix" --timeout 300 --mode gtest "$program" --gtest_filter='Palette*'
