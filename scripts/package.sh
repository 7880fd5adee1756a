#!/usr/bin/env bash
# Makes dist/quendrix-<version>-win32.zip: the program and the command-line
# tools (the shipped programs that CMakeLists.txt names), its maps folder with
# the sample's preview, the sample demo and a short text on how to use it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target shipped_programs
# Nothing that Windows XP would refuse to start.
ctest --preset win32 -L xp
# The sample is written by the native demo writer: packing runs no Windows
# program, so it works where Wine cannot run the 32-bit build.
cmake --preset native >/dev/null
cmake --build --preset native --target quendrix-make-demo
version=$(sed -n 's/^project(Quendrix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=quendrix-$version-win32
stage=build/package/$name
rm -rf "$stage"
mkdir -p "$stage/maps" "$stage/sample" dist
while read -r program; do
  cp "build/win32/$program" "$stage/"
done <build/win32/shipped-programs.txt
build/native/quendrix-make-demo --map qx_courtyard --mod valve --res 800x600 --story \
  --preview "$stage/maps/qx_courtyard.bmp" "$stage/sample/qx_courtyard.dem" >/dev/null
# Windows line ends, for Notepad.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' scripts/package-readme.txt >"$stage/README.txt"
rm -f "dist/$name.zip"
(cd build/package && cmake -E tar cf "../../dist/$name.zip" --format=zip "$name")
echo "dist/$name.zip"
