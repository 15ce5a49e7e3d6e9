#!/bin/bash
# Builds the release for Windows users, out/video-grabber-plugins.zip: the
# plug-ins, VideoGrabber.tlb, vgrab and vgview, install.cmd and uninstall.cmd,
# a README for end users, and the card simulators in a folder of their own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
export WINEPREFIX=$BUILD_DIR/wineprefix WINEDEBUG=-all
bash "$root/scripts/setup.sh"
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >/dev/null
fi
# The build runs a program under Wine (the type libraries): under Xvfb.
xvfb-run -a bash -c '
    wineserver -p
    status=0
    cmake --build "$BUILD_DIR" --target release -j"$(nproc)" || status=$?
    wineserver -k
    exit $status'
zip=$BUILD_DIR/packaging/video-grabber-plugins.zip
mkdir -p "$root/out"
cp "$zip" "$root/out/"
cmake -E tar tf "$zip"
echo "release: $root/out/$(basename "$zip")"
