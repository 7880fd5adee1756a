#!/usr/bin/env bash
# Every test: the native ones, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build's under Wine (on a
# display and wineserver of their own). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

# The shipped 32-bit build always builds, and what its programs ask of Windows
# is always checked; its tests run where the kernel runs 32-bit programs, and
# the 64-bit build of the same code is tested elsewhere.
cmake --preset win32
cmake --build --preset win32
windows=$(scripts/windows-preset.sh)
if [ "$windows" != win32 ]; then
  ctest --preset win32 -L xp
  echo "This machine runs no 32-bit programs: the Wine tests run on the $windows build."
  cmake --preset "$windows"
  cmake --build --preset "$windows"
fi
ctest --preset "$windows"
