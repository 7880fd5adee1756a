#!/usr/bin/env bash
# Benchmarks: the two scans over 64 MiB of demo-like bytes (against the
# literal scans and the C library's memmem), and the inspector on a large demo
# in the page cache against reading the same file with cat.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-256}

cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
build/native/quendrix_bench

demo=build/native/bench-${size_mib}mib.dem
[ -f "$demo" ] || build/native/quendrix-make-demo --res 1440x1080 --size $((size_mib << 20)) "$demo"
cat "$demo" >/dev/null  # into the page cache

best() {  # the shortest wall time of five runs, in seconds
  local best=
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}

cat_time=$(best cat "$demo")
inspect_time=$(best build/native/quendrix-inspect "$demo")
peak_kib=$( { /usr/bin/time -f %M build/native/quendrix-inspect "$demo" >/dev/null; } 2>&1 )
echo
printf 'file:            %s (%d MiB)\n' "$demo" "$size_mib"
printf 'cat:             %.3f s\n' "$cat_time"
printf 'quendrix-inspect %.3f s (%.2f x cat), peak %d KiB\n' "$inspect_time" \
  "$(awk -v i="$inspect_time" -v c="$cat_time" 'BEGIN { print i / c }')" "$peak_kib"
