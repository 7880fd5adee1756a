#!/usr/bin/env bash
# Makes dist/quendrix-<version>-win32.zip: the program, its maps folder with
# the sample's preview, the sample demo and a short text on how to use it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target quendrix sample
version=$(sed -n 's/^project(Quendrix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=quendrix-$version-win32
stage=build/package/$name
rm -rf "$stage"
mkdir -p "$stage/maps" "$stage/sample" dist
cp build/win32/quendrix.exe "$stage/"
cp build/win32/maps/*.bmp "$stage/maps/"
cp build/win32/sample/*.dem "$stage/sample/"
# Windows line ends, for Notepad.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' scripts/package-readme.txt >"$stage/README.txt"
rm -f "dist/$name.zip"
(cd build/package && cmake -E tar cf "../../dist/$name.zip" --format=zip "$name")
echo "dist/$name.zip"
