#!/usr/bin/env bash
# Benchmarks, all in one run: the scans over 64 MiB of demo-like bytes and of
# the players' recordings (against the literal scans and the C library's
# memmem) and the map preview of the two largest real maps, then the inspector on two files of the given size (256 MiB unless
# said) in the page cache against reading the same file with cat: a written
# demo, and the recordings in which nothing is found, one after another. The
# inspector runs on the widest path of the scans' sieve and on SSE2. Then
# --json over the recordings, quendrix-trim at three cuts of each of them and
# of two long demos made of them, and -r
# over a tree of 10,000 small demos.
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

# The best and the median of the times given, one a line.
best_and_median() {
  sort -g | awk '{ t[NR] = $1 } END { printf "%.3f s (median %.3f s)", t[1], t[int((NR + 1) / 2)] }'
}

on_sse2=build/native/quendrix_inspect_on_path
runs=${QUENDRIX_BENCH_RUNS:-9}
echo
grep -m1 'model name' /proc/cpuinfo
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for file in "${files[@]}"; do
  cat "$file" >/dev/null  # into the page cache
  # Turn about, so that all three meet the same machine.
  : >"$demo.cat" && : >"$demo.inspect" && : >"$demo.sse2"
  for _ in $(seq "$runs"); do
    seconds cat "$file" >>"$demo.cat"
    seconds "$inspect" "$file" >>"$demo.inspect"
    seconds "$on_sse2" sse2 "$file" >>"$demo.sse2"
  done
  peak_kib=$( { /usr/bin/time -f %M "$inspect" "$file" >/dev/null; } 2>&1 )
  file_kib=$(( $(stat -c %s "$file") / 1024 ))
  ratio() { awk -v i="$(sort -g "$1" | head -1)" -v c="$(sort -g "$demo.cat" | head -1)" 'BEGIN { printf "%.2f", i / c }'; }
  echo
  printf 'file:             %s (%d MiB), best of %d\n' "$file" "$size_mib" "$runs"
  printf 'cat:              %s\n' "$(best_and_median <"$demo.cat")"
  printf 'quendrix-inspect: %s, %s x cat\n' "$(best_and_median <"$demo.inspect")" "$(ratio "$demo.inspect")"
  printf '  on SSE2:        %s, %s x cat\n' "$(best_and_median <"$demo.sse2")" "$(ratio "$demo.sse2")"
  printf 'peak memory:      %d KiB (the file: %d KiB)\n' "$peak_kib" "$file_kib"
done
rm -f "$demo.cat" "$demo.inspect" "$demo.sse2"

# What --json adds: every message of the recordings of network protocol 48
# read, each file listed 50 times on one command line, on one core, against
# cat of the same list.
messages=()
for f in "$corpus"/*.dem; do
  [ "$(od -An -tu1 -j12 -N1 "$f" | tr -d ' ')" = 48 ] && messages+=("$f")
done
if [ ${#messages[@]} -gt 0 ]; then
  list=()
  for _ in $(seq 50); do list+=("${messages[@]}"); done
  : >"$demo.cat" && : >"$demo.json"
  for _ in $(seq "$runs"); do
    seconds taskset -c 0 cat "${list[@]}" >>"$demo.cat"
    seconds taskset -c 0 "$inspect" --json "${list[@]}" >>"$demo.json"
  done
  peak_kib=$( { /usr/bin/time -f %M "$inspect" --json "${list[@]}" >/dev/null; } 2>&1 )
  echo
  printf 'files:            %d recordings of network protocol 48, each 50 times (%d MiB), one core\n' \
    "${#messages[@]}" "$(cat "${list[@]}" | wc -c | awk '{ print int($1 / 1048576) }')"
  printf 'cat:              %s\n' "$(best_and_median <"$demo.cat")"
  printf 'inspect --json:   %s, %s x cat\n' "$(best_and_median <"$demo.json")" "$(ratio "$demo.json")"
  printf 'peak memory:      %d KiB\n' "$peak_kib"
  rm -f "$demo.cat" "$demo.json"
fi
# quendrix-trim against quendrix-inspect --json of the same file, at a
# twentieth, half and nineteen twentieths of its playback: each recording
# that it can cut, and two long demos made of the playback of a client's
# recording and of a proxy's, over and over to the size given. The trim reads
# every message too, and the state up to the cut, and writes the copy.
trim=build/native/quendrix-trim
long=()
for name in weapon.dem demotesttestste.dem-2405171129-cs_assault.dem; do
  [ -f "$corpus/$name" ] || continue
  made=build/native/bench-${size_mib}mib-$name
  [ -f "$made" ] || build/native/quendrix-make-demo --repeat "$corpus/$name" --size $((size_mib << 20)) "$made"
  long+=("$made")
done
echo
for f in "$corpus"/*.dem "${long[@]}"; do
  duration=$("$inspect" --json "$f" | sed -n 's/.*"duration":\([0-9.]*\).*/\1/p')
  for share in 0.05 0.5 0.95; do
    cut=$(awk -v d="$duration" -v s="$share" 'BEGIN { printf "%.3f", d * s }')
    "$trim" --force "$f" "$cut" "$demo.cut" >/dev/null 2>&1 || continue
    : >"$demo.trim" && : >"$demo.json"
    for _ in $(seq "$runs"); do
      seconds "$trim" --force "$f" "$cut" "$demo.cut" >>"$demo.trim"
      seconds "$inspect" --json "$f" >>"$demo.json"
    done
    peak_kib=$( { /usr/bin/time -f %M "$trim" --force "$f" "$cut" "$demo.cut" >/dev/null; } 2>&1 )
    printf '%-46s trim at %9s s: %s, %s x inspect --json (%s), peak %d KiB\n' "$(basename "$f")" \
      "$cut" "$(best_and_median <"$demo.trim")" \
      "$(awk -v t="$(sort -g "$demo.trim" | head -1)" -v j="$(sort -g "$demo.json" | head -1)" \
        'BEGIN { printf "%.2f", t / j }')" "$(best_and_median <"$demo.json")" "$peak_kib"
  done
done
rm -f "$demo.cut" "$demo.trim" "$demo.json"
# What -r adds: a tree of 10,000 small demos (100 folders of 100 names of one
# written demo) inspected with --json, against cat of the same files as find
# lists them.
tree=build/native/bench-tree-10000
if [ ! -d "$tree" ]; then
  build/native/quendrix-make-demo --frames 20 --story "$tree.dem"
  for folder in $(seq -w 1 100); do
    mkdir -p "$tree/$folder"
    for n in $(seq -w 1 100); do ln "$tree.dem" "$tree/$folder/demo $n.dem"; done
  done
fi
: >"$demo.cat" && : >"$demo.tree"
for _ in $(seq "$runs"); do
  seconds find "$tree" -name '*.dem' -exec cat {} + >>"$demo.cat"
  seconds "$inspect" -r --json "$tree" >>"$demo.tree"
done
peak_kib=$( { /usr/bin/time -f %M "$inspect" -r --json "$tree" >/dev/null; } 2>&1 )
echo
printf 'tree:             10000 demos of %d bytes in 100 folders\n' "$(stat -c %s "$tree.dem")"
printf 'find | cat:       %s\n' "$(best_and_median <"$demo.cat")"
printf 'inspect -r --json: %s, %s x cat\n' "$(best_and_median <"$demo.tree")" "$(ratio "$demo.tree")"
printf 'peak memory:      %d KiB\n' "$peak_kib"
rm -f "$demo.cat" "$demo.tree"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
