#!/usr/bin/env bash
# Builds everything and runs every test: the native tests, the same tests under ASan/UBSan
# with short fuzz runs (clang build), and the Windows tests under Wine on an Xvfb display.
# Usage: scripts/test.sh [--build-root DIR]   (OV_FUZZ_SECONDS sets each fuzz run's length)
set -euo pipefail
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ROOT="$SRC/build"
[ "${1:-}" = "--build-root" ] && ROOT=$2
mkdir -p "$ROOT"; ROOT=$(cd "$ROOT" && pwd)
JOBS=${OV_JOBS:-$(nproc)}

bash "$SRC/scripts/build.sh" --fuzz --build-root "$ROOT"

status=0
echo "== native tests"
ctest --test-dir "$ROOT/native" --output-on-failure -j "$JOBS" || status=1
echo "== sanitizer tests and fuzz runs"
ctest --test-dir "$ROOT/fuzz" --output-on-failure -j "$JOBS" || status=1
echo "== Windows tests under Wine"
eval "$(bash "$SRC/scripts/wine-session.sh" start "$ROOT/win")"
trap 'bash "$SRC/scripts/wine-session.sh" stop "$ROOT/win"' EXIT
ctest --test-dir "$ROOT/win" --output-on-failure -j "$JOBS" || status=1
exit $status
