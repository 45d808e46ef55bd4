#!/usr/bin/env bash
# Runs the patch builder's in-process window test against what the native engine driver
# writes: lays out the sample trees in a scratch folder, makes the expected patches there
# with the native engine_run, and runs the test with QUILTOR_FIXTURES naming the folder.
#   gui_run_check.sh NATIVE_ENGINE_RUN SAMPLES_DIR LAUNCHER... TEST.exe
set -uo pipefail
engine_run=$1 samples=$2; shift 2
fail() { echo "gui_run_check: $*" >&2; exit 1; }
[[ -x "$engine_run" ]] || fail "the native engine driver $engine_run is missing (build the native tree first)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$samples/tree-v1" "$samples/tree-v2" "$work/"
mkdir "$work/expected"
cd "$work"
run() { "$engine_run" "$@" >/dev/null 2>engine.log || fail "engine_run $*: $(cat engine.log)"; }
run expected/file.utp tree-v1/src/tally.c tree-v2/src/tally.c
run expected/tree.utp tree-v1 tree-v2
run expected/multi.utp tree-v1/README.txt tree-v2/README.txt tree-v2/docs/changes.txt
QUILTOR_FIXTURES=$work "$@"
