#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (run as root).
# Packages already present are left alone, so a second run costs a few seconds.
set -euo pipefail

install() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]}; run this script as root to install them" >&2
    exit 1
  fi
  # The 32-bit Wine is an i386 package.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install cmake ninja-build g++ clang \
  g++-mingw-w64-i686 mingw-w64-tools \
  wine wine32:i386 xvfb xauth fonts-wine imagemagick \
  googletest libgtest-dev libbenchmark-dev time \
  libclang-rt-14-dev # the sanitizers and libFuzzer for clang

# Where the kernel runs no 32-bit programs, the 64-bit build is what runs under
# Wine (see scripts/windows-preset.sh).
if ! wine --version >/dev/null 2>&1; then
  install wine64 g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32
fi
