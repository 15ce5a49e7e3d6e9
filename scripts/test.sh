#!/bin/bash
# Builds everything and runs every test under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
export WINEPREFIX=$BUILD_DIR/wineprefix WINEDEBUG=-all
bash "$root/scripts/setup.sh"
# One display and one Wine server for the whole run.
xvfb-run -a bash -c '
    wineserver -p
    # Start the background services of the prefix now, detached from our
    # output: started by the first test instead, they would inherit the pipes
    # of CTest and keep it waiting for ever.
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    status=0
    bash "$0/scripts/build.sh" && ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 900 || status=$?
    wineserver -k
    exit $status' "$root"
