#!/usr/bin/env bash
# The main job: installs what is missing, builds, and inspects the bundled
# sample demo (a demo of the project's own, with its map preview).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native

sample=build/native/sample/qx_courtyard.dem
echo
echo "== $sample =="
build/native/quendrix-inspect "$sample"
echo
echo "Its map preview: build/native/sample/maps/qx_courtyard.bmp"
