#!/bin/bash
# The release as a Windows user meets it, in a Wine prefix of its own made
# afresh: unpack the zip, run install.cmd, list the plug-ins and grab from
# each one through the installed DLLs (the card simulators on the search
# path), run uninstall.cmd, and find that the registry's classes hold no key
# that was not there before the installation.
#
# usage: release_test.sh CMAKE ZIP FOLDER WORK
#   FOLDER is the release's folder inside the zip; WORK is emptied first.
# Every Wine command writes to a log file, not to this script's output:
# the services that Wine starts with the first program keep its output open.
set -euo pipefail
cmake=$1 zip=$2 folder=$3 work=$4
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all
rm -rf "$work"
mkdir -p "$work/frames"
cd "$work"
"$cmake" -E tar xf "$zip"
app=$work/$folder

windows() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Runs a Windows program in the release folder, its output in <log>.log,
# and shows that output.
run() {
    local log=$1
    shift
    local status=0
    (cd "$app" && wine "$@" >"$work/$log.out" 2>&1 </dev/null) || status=$?
    tr -d '\r' <"$work/$log.out" >"$work/$log.log"
    echo "--- $* (exit status $status)"
    cat "$work/$log.log"
    return $status
}
# The keys under the registry's classes (HKEY_CLASSES_ROOT), as Wine keeps
# them on disk once its server has stopped.
class_keys() {
    wineserver -w
    cat "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sed -n 's/^\[\(Software\\\\Classes\\\\[^]]*\)\].*/\1/p' | sort -u
}

echo "--- a new Wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1 </dev/null
class_keys >"$work/keys-before"
trap 'wineserver -k 2>/dev/null || true' EXIT

run install cmd /c install.cmd || fail "install.cmd"
export WINEPATH
WINEPATH=$(windows "$app/card-simulators")
run list vgrab.exe list || fail "vgrab list"
dlls=$(cd "$app" && ls TRVGPlug*.dll)
progids=()
for dll in $dlls; do
    row=$(grep -E "^${dll%.dll}\.cls[A-Za-z0-9]+ " "$work/list.log") || fail "vgrab list does not show $dll"
    expected=$(windows "$app/$dll")
    [[ $row == *" present  $expected" ]] || fail "$dll is not listed as present at $expected: $row"
    progids+=("${row%% *}")
done
run grab vgrab.exe grab --frames 2 --out "$(windows "$work/frames")" "${progids[@]}" || fail "vgrab grab"
for progid in "${progids[@]}"; do
    for file in "${progid#*.}"-00{1,2}.{bmp,png}; do
        [ -s "$work/frames/$file" ] || fail "no frame file $file from $progid"
    done
done
[ "$(grep -c 'frames per second' "$work/grab.log")" = "${#progids[@]}" ] || fail "not every plug-in gave its frame rate"

run uninstall cmd /c uninstall.cmd || fail "uninstall.cmd"
wineserver -k
class_keys >"$work/keys-after"
left=$(comm -13 "$work/keys-before" "$work/keys-after")
[ -z "$left" ] || fail "keys left behind after uninstall.cmd:
$left"
echo "--- installed, listed ${#progids[@]} plug-ins, grabbed from each, uninstalled: no keys left"
