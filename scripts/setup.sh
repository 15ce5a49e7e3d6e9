#!/bin/bash
# Makes a fresh Debian 12 machine ready to build and run the plug-ins:
# installs the cross toolchain, Wine (32-bit), Xvfb and GoogleTest from
# Debian's packages, lets the kernel run 32-bit programs (through qemu-user
# where it has no 32-bit support), and creates the project's Wine prefix.
# Safe to run again: every step checks first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=-all

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
log() { printf '[setup] %s\n' "$*" >&2; }

packages=(cmake make mingw-w64 mingw-w64-tools wine wine32:i386 wine64 xvfb xauth googletest)
missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "enabling the i386 architecture"
    as_root dpkg --add-architecture i386
    need_update=1
fi
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's 32-bit loader is a 32-bit Linux program. Some kernels (sandboxed
# virtual machines among them) refuse 32-bit executables; qemu-user then runs
# it. Debian 12's qemu 7.2 takes about a minute to start each 32-bit Wine
# process, the backported qemu 10 about a second, so take that one.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if ! /usr/bin/qemu-i386 --version 2>/dev/null | grep -q 'version \(9\|1[0-9]\)'; then
        log "this kernel does not run 32-bit programs: installing qemu-user from bookworm-backports"
        if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/; then
            printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
                | as_root tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
        fi
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            -t bookworm-backports qemu-user-static >/dev/null
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e $binfmt/register ] || as_root mount -t binfmt_misc binfmt_misc $binfmt
    [ -e $binfmt/qemu-i386 ] && echo -1 | as_root tee $binfmt/qemu-i386 >/dev/null
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
        | as_root tee $binfmt/register >/dev/null
    /usr/lib/wine/wine --version >/dev/null 2>&1 || { log "32-bit programs still do not run"; exit 1; }
fi

# The prefix: created once, under Xvfb (a prefix first started without a
# display can never show a message box). Unmanaged windows make Wine close
# message boxes at once instead of waiting for a window manager.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix $WINEPREFIX (takes a minute)"
    mkdir -p "$WINEPREFIX"
    # A program that crashes ends at once instead of waiting in Wine's crash dialog.
    xvfb-run -a sh -c 'wineboot -i && wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f &&
        wine reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f && wineserver -w' >/dev/null 2>&1
fi
