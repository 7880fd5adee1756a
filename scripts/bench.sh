#!/usr/bin/env bash
# Benchmarks, all in one run: the scans over 64 MiB of demo-like bytes and of
# the players' recordings (against the literal scans and the C library's
# memmem) and the map preview of the two largest real maps, then the inspector on two files of the given size (256 MiB unless
# said) in the page cache against reading the same file with cat: a written
# demo, and the recordings in which nothing is found, one after another.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-256}
corpus=${QUENDRIX_CORPUS_DIR:-../shared/corpus/real}

cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
build/native/quendrix_bench

inspect=build/native/quendrix-inspect
demo=build/native/bench-${size_mib}mib.dem
[ -f "$demo" ] || build/native/quendrix-make-demo --res 1440x1080 --size $((size_mib << 20)) "$demo"
files=("$demo")

recordings=build/native/bench-recordings-${size_mib}mib.dem
if [ ! -f "$recordings" ] && compgen -G "$corpus/*.dem" >/dev/null; then
  # The recordings in which the scans find nothing, so that they run to the end.
  plain=()
  for f in "$corpus"/*.dem; do
    "$inspect" --json "$f" | grep -q '"demoResWidth":"\*".*"hltv":false' && plain+=("$f")
  done
  while [ "$(stat -c %s "$recordings" 2>/dev/null || echo 0)" -lt $((size_mib << 20)) ]; do
    cat "${plain[@]}" >>"$recordings"
  done
  truncate -s $((size_mib << 20)) "$recordings"
fi
[ -f "$recordings" ] && files+=("$recordings")

seconds() {  # the wall time of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}

for file in "${files[@]}"; do
  cat "$file" >/dev/null  # into the page cache
  # Turn about, so that both meet the same machine; the best of five each.
  cat_time= inspect_time=
  for _ in 1 2 3 4 5; do
    t=$(seconds cat "$file")
    cat_time=$(awk -v t="$t" -v b="$cat_time" 'BEGIN { print (b == "" || t < b) ? t : b }')
    t=$(seconds "$inspect" "$file")
    inspect_time=$(awk -v t="$t" -v b="$inspect_time" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  peak_kib=$( { /usr/bin/time -f %M "$inspect" "$file" >/dev/null; } 2>&1 )
  file_kib=$(( $(stat -c %s "$file") / 1024 ))
  echo
  printf 'file:             %s (%d MiB)\n' "$file" "$size_mib"
  printf 'cat:              %.3f s\n' "$cat_time"
  printf 'quendrix-inspect: %.3f s (%.2f x cat)\n' "$inspect_time" \
    "$(awk -v i="$inspect_time" -v c="$cat_time" 'BEGIN { print i / c }')"
  printf 'peak memory:      %d KiB (the file: %d KiB)\n' "$peak_kib" "$file_kib"
done
