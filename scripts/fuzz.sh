#!/usr/bin/env bash
# Runs each fuzz target of the demo core for the given time (seconds, 60 unless
# said), one after another in one process each: header, scan, summary,
# structure, messages, trim, delta_codec, command_line, walk, map and library_index, or only
# those named after the time. Each keeps its corpus in build/fuzz/corpus/NAME,
# seeded by quendrix-fuzz-seeds (demos of the project's own for the first
# four, cut and damaged ones among them; the starts of the players'
# recordings and demos that tell a story for messages; maps of its own for
# map; small indexes, with and without their checksum, for library_index;
# demos that tell a story behind the bytes that pick a cut for trim),
# and its log in build/fuzz/NAME.log;
# a finding is written to build/fuzz/findings/ and stops the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=("${@:2}")
[ ${#targets[@]} -eq 0 ] && targets=(header scan summary structure messages trim delta_codec
  command_line walk map library_index)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

seeds=build/fuzz/seeds
mkdir -p "$seeds" build/fuzz/findings
build/fuzz/quendrix-fuzz-seeds "$seeds"

for name in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$name
  log=build/fuzz/$name.log
  case $name in
    header | scan | summary | structure) seed=$seeds/demo ;;
    delta_codec) seed=$corpus ;;  # any bytes make a table: no seeds needed
    *) seed=$seeds/$name ;;
  esac
  mkdir -p "$corpus"
  echo "== $name, $seconds s (log: $log)"
  status=0
  # Inputs of up to 64 KiB, none of which takes more than 2 s even under the
  # sanitizers where the walks and the drawing are linear (the longest take
  # some 20 ms): one that does holds a quadratic walk or draw.
  build/fuzz/quendrix_fuzz_"$name" "$corpus" "$seed" -max_total_time="$seconds" -timeout=2 \
    -max_len=65536 \
    -print_final_stats=1 \
    -artifact_prefix=build/fuzz/findings/"$name"- >"$log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added|stat::peak_rss_mb)|ERROR|SUMMARY|artifact' "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "$name: finding (status $status), see $log" >&2
    exit "$status"
  fi
done
