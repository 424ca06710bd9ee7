#!/usr/bin/env bash
# Builds everything, then runs the main job on the demo product: its payload (built by the
# native ovpack during the build) is listed, verified and extracted natively with ovpack and
# under Wine with ovpack.exe, into <build>/demo-run/native and <build>/demo-run/wine, and the
# two listings and the two extracted trees are compared byte for byte.
# Usage: scripts/run-demo.sh [--build-root DIR]   (default build root: ./build)
# Exits non-zero on any failure or difference. Run it again at any time: it starts afresh.
set -euo pipefail
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ROOT="$SRC/build"
[ "${1:-}" = "--build-root" ] && ROOT=${2:?usage: run-demo.sh [--build-root DIR]}
mkdir -p "$ROOT"; ROOT=$(cd "$ROOT" && pwd)

bash "$SRC/scripts/build.sh" --build-root "$ROOT"

OUT="$ROOT/demo-run"
rm -rf "$OUT"
mkdir -p "$OUT"
eval "$(bash "$SRC/scripts/wine-session.sh" start "$ROOT/win")"
trap 'bash "$SRC/scripts/wine-session.sh" stop "$ROOT/win"' EXIT

bash "$SRC/tests/tools/compare_demo.sh" "$ROOT/native/tools/ovpack" "$ROOT/win/tools/ovpack.exe" \
  "$ROOT/win/wine-run.sh" "$ROOT/win/demo/demo.payload" "$OUT"
echo "demo payload: $ROOT/win/demo/demo.payload"
echo "installed natively into $OUT/native, under Wine into $OUT/wine"
