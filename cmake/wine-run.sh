#!/usr/bin/env bash
# Runs a Windows program under the build tree's Wine prefix (ctest's cross-compiling emulator).
# The environment comes from wine-env.sh next to the build's scripts; the wineserver is
# expected to be running already (started by the test script, outside ctest).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
exec wine "$@"
