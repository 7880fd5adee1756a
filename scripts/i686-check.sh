#!/usr/bin/env bash
# i686-check.sh OBJDUMP SCAN_OBJECT MAP_DIR EXE...: fails (status 1) unless
# each program runs on any i686 processor: the only instructions on MMX, SSE or
# AVX registers in it are those of the scan's sieve functions that the
# processor check guards (FindPassingSse2 and FindPassingAvx2 in SCAN_OBJECT,
# the scan's object file of the same build), or it has none. OBJDUMP is
# MinGW's objdump. MAP_DIR holds each program's link map, NAME.map: the linker
# puts the constructor lists and the exception tables in .text after the code,
# and their bytes read as any instruction, so only the code before them counts.
set -euo pipefail
if [ $# -lt 4 ]; then
  echo "usage: $0 OBJDUMP SCAN_OBJECT MAP_DIR EXE..." >&2
  exit 2
fi
objdump=$1 scan=$2 maps=$3
shift 3

on_vector_registers() { grep -cE '%[xy]mm[0-9]|%mm[0-7]' || true; }

guarded=$("$objdump" -d "$scan" |
  awk '/^[0-9a-f]+ <.*>:$/ { keep = /FindPassing(Sse2|Avx2)/ } keep' | on_vector_registers)
if [ "$guarded" -eq 0 ]; then
  echo "$0: no guarded sieve functions in $scan" >&2
  exit 2
fi

status=0
for exe in "$@"; do
  map=$maps/$(basename "$exe" .exe).map
  code_end=$(awk '$2 == "___CTOR_LIST__" { print $1; exit }' "$map" 2>/dev/null || true)
  if [ -z "$code_end" ]; then
    echo "$0: no end of the code in $map" >&2
    exit 2
  fi
  found=$("$objdump" -d --stop-address="$code_end" "$exe" | on_vector_registers)
  echo "$(basename "$exe"): $found instructions on vector registers; the guarded sieve has $guarded"
  if [ "$found" -ne 0 ] && [ "$found" -ne "$guarded" ]; then
    echo "$(basename "$exe"): uses MMX, SSE or AVX outside the guarded sieve"
    status=1
  fi
done
exit "$status"
