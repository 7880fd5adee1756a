#!/usr/bin/env bash
# wine-prefix.sh WINE_RUN PREFIX: creates the Wine prefix of one build (WINE_RUN
# is the build's wrapper, which knows the prefix and its architecture), on a
# virtual desktop (so windows have frames and no hide stalls for want of a
# window manager), with Wine's own fonts in place. A prefix that exists is
# left as it is.
set -euo pipefail
run=$1 prefix=$2
[ -f "$prefix/system.reg" ] && exit 0

mkdir -p "$prefix"
# The server and its helpers inherit every open descriptor: keep the caller's
# pipes out of their reach.
"$run" wineboot -i </dev/null >/dev/null 2>&1
"$run" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
"$run" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
  </dev/null >/dev/null 2>&1
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
"$run" wineserver -w </dev/null >/dev/null 2>&1
