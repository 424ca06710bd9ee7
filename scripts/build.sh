#!/usr/bin/env bash
# Builds the project: native (portable core, tools, tests), Windows (everything, cross-compiled)
# and, with --fuzz, the clang build with sanitizers and the fuzz targets.
# Usage: scripts/build.sh [--fuzz] [--build-root DIR]   (default build root: ./build)
set -euo pipefail
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ROOT="$SRC/build"
FUZZ=0
while [ $# -gt 0 ]; do
  case "$1" in
    --fuzz) FUZZ=1 ;;
    --build-root) ROOT=$2; shift ;;
    *) echo "usage: build.sh [--fuzz] [--build-root DIR]" >&2; exit 2 ;;
  esac
  shift
done
mkdir -p "$ROOT"; ROOT=$(cd "$ROOT" && pwd)
JOBS=${OV_JOBS:-$(nproc)}

bash "$SRC/scripts/install-deps.sh"
bash "$SRC/scripts/build-win-deps.sh" "$ROOT/deps"

configure() { # dir, extra cmake args... (re-running on an existing tree is cheap and picks up new folders)
  local dir=$1; shift
  cmake -S "$SRC" -B "$dir" -G Ninja "$@" >/dev/null
}
configure "$ROOT/native"
cmake --build "$ROOT/native" -j "$JOBS"
configure "$ROOT/win" -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/toolchain-mingw32.cmake" -DOV_WIN_DEPS="$ROOT/deps" -DOV_NATIVE_BUILD="$ROOT/native"
cmake --build "$ROOT/win" -j "$JOBS"
if [ $FUZZ -eq 1 ]; then
  configure "$ROOT/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DOV_FUZZ=ON -DOV_SANITIZE=ON
  cmake --build "$ROOT/fuzz" -j "$JOBS"
fi
