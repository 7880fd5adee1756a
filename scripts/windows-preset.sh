#!/usr/bin/env bash
# Names the Windows build whose programs run under Wine on this machine: win32,
# the shipped 32-bit build, or win64, the same code for 64-bit Windows, where
# the kernel runs no 32-bit programs (and so no 32-bit Wine).
if wine --version >/dev/null 2>&1; then
  echo win32
elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
  echo win64
else
  echo "Wine runs neither 32-bit nor 64-bit programs on this machine" >&2
  exit 1
fi
