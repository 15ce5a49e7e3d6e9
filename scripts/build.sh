#!/bin/bash
# Configures (once) and builds everything into $BUILD_DIR (default build/).
# Sourced by demo.sh and test.sh after setup.sh; runs under their Xvfb,
# since the build itself runs a program under Wine (the type libraries).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
