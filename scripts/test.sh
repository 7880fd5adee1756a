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

cmake --preset win32
cmake --build --preset win32
ctest --preset win32
