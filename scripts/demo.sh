#!/bin/bash
# The main job: builds everything, registers the plug-ins with regsvr32 in the
# build's Wine prefix (and the host's VideoGrabber.tlb, as install.cmd does),
# lists them with vgrab, and has vgrab grab frames from each plug-in on its
# simulated card into .bmp and .png files under out/frames/, every frame
# checked as the host application checks it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
export WINEPREFIX=$BUILD_DIR/wineprefix WINEDEBUG=-all
bash "$root/scripts/setup.sh"
out=${OUT_DIR:-$root/out/frames}
mkdir -p "$out"
xvfb-run -a bash -c '
    set -e
    root=$0 out=$1
    wineserver -p
    trap "wineserver -k" EXIT
    bash "$root/scripts/build.sh"
    bin=$BUILD_DIR/bin
    wine "$bin/vgrab.exe" register-typelib "$bin/VideoGrabber.tlb"
    for dll in "$bin"/TRVGPlug*.dll; do
        wine regsvr32 /s "$dll"
        echo "registered $(basename "$dll")"
    done
    echo
    wine "$bin/vgrab.exe" list
    echo
    # The simulated card libraries stand where the card makers install theirs: on the search path.
    export WINEPATH="Z:$BUILD_DIR/cards"
    # ProgID and options of each run: grey, and colour where the card has it.
    while read -r dll progid options; do
        [ -f "$bin/$dll" ] || continue
        wine "$bin/vgrab.exe" grab --dismiss-boxes --frames 5 --format both --out "Z:$out" $options "$progid"
    done <<RUNS
TRVGPlugCX100.dll TRVGPlugCX100.clsCX100
TRVGPlugFlashBusMV.dll TRVGPlugFlashBusMV.clsFlashBusMV
TRVGPlugFlashBusMV.dll TRVGPlugFlashBusMV.clsFlashBusMV --color
TRVGPlugVideoPortPro.dll TRVGPlugVideoPortPro.clsVideoPortPro
TRVGPlugVideoPortPro.dll TRVGPlugVideoPortPro.clsVideoPortPro --color
TRVGPlugVCE.dll TRVGPlugVCE.clsVCE
RUNS
    ' "$root" "$out"
echo "frames written to $out (.bmp and .png)"
