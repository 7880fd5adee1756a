#!/usr/bin/env bash
# Creates the Wine prefix of one build: 32-bit, on a virtual desktop (so windows
# have frames and no hide stalls for want of a window manager), with Wine's
# own fonts in place. A prefix that exists is left as it is.
set -euo pipefail
prefix=$1
[ -f "$prefix/system.reg" ] && exit 0

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
# The server and its helpers inherit every open descriptor: keep the caller's
# pipes out of their reach.
wineboot -i </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
wineserver -w </dev/null >/dev/null 2>&1
