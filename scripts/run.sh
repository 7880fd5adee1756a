#!/usr/bin/env bash
# The main job: installs what is missing, builds the program and opens it on
# the bundled sample demo, under Wine. Where there is no display, the window is
# opened on a virtual one: its picture is saved and the summary it shows is
# printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# The 64-bit build of the same program where the kernel runs no 32-bit ones.
windows=$(scripts/windows-preset.sh)
cmake --preset "$windows" >/dev/null
cmake --build --preset "$windows"
cd "build/$windows"

sample=$(./wine-run winepath -w "$PWD/sample/qx_courtyard.dem" | tr -d '\r\n')
program=$(./wine-run winepath -w "$PWD/quendrix.exe" | tr -d '\r\n')

if [ -n "${DISPLAY:-}" ]; then
  echo "Opening Quendrix on $sample"
  QUENDRIX_KEEP_DISPLAY=1 exec ./wine-run "$program" "$sample"
fi

# No display: a virtual one of our own, and the program driven from outside.
session=$PWD/wine/run-session
trap '../../scripts/wine-session.sh stop "$session" "$PWD/wine-run"' EXIT
../../scripts/wine-session.sh start "$session" "$PWD/wine-run"
export DISPLAY=":$(cat "$session/display")"
mkdir -p artifacts
picture=$(./wine-run winepath -w "$PWD/artifacts/quendrix-window.bmp" | tr -d '\r\n')
echo "Quendrix opened on $sample (on a virtual display). The window shows:"
echo
QUENDRIX_KEEP_DISPLAY=1 ./wine-run quendrix-snapshot.exe "$program" "$picture" "$sample" | tr -d '\r'
convert artifacts/quendrix-window.bmp artifacts/quendrix-window.png
echo
echo "A picture of the window: $PWD/artifacts/quendrix-window.png"
