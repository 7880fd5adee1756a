#!/usr/bin/env bash
# What a player waits for: the window program under Wine, in its build's own
# prefix on a virtual display, from its start to its window showing the summary
# of a written demo of the given size (100 MiB unless said), beside the same on
# a tiny demo; five runs each, the demo in the page cache. Then the library on
# a folder of that many demos (10,000 unless said): its first opening, which
# reads them all, and five openings again, from its window opening to its
# title counting all of them.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-100}
library_demos=${2:-10000}

cmake --preset native >/dev/null
cmake --build --preset native --target quendrix-make-demo >/dev/null
windows=$(scripts/windows-preset.sh)
cmake --preset "$windows" >/dev/null
cmake --build --preset "$windows" --target quendrix quendrix_summary_wait >/dev/null
build=$PWD/build/$windows

tiny=$build/bench-window-tiny.dem
big=$build/bench-window-${size_mib}mib.dem
[ -f "$tiny" ] || build/native/quendrix-make-demo --frames 20 "$tiny"
[ -f "$big" ] || build/native/quendrix-make-demo --size $((size_mib << 20)) "$big"

session=$build/wine/bench-session
trap 'scripts/wine-session.sh stop "$session" "$build/wine-run"' EXIT
scripts/wine-session.sh start "$session" "$build/wine-run"
export DISPLAY=":$(cat "$session/display")" QUENDRIX_KEEP_DISPLAY=1

# The game's resolution where the program reads it, so that no warning holds
# the window back; taken away again unless it was there before.
game_key='HKCU\Software\Valve\Half-Life\Settings'
if ! "$build/wine-run" reg query "$game_key" /v EngineModeW >/dev/null 2>&1; then
  "$build/wine-run" reg add "$game_key" /v EngineModeW /t REG_DWORD /d 1024 /f >/dev/null
  "$build/wine-run" reg add "$game_key" /v EngineModeH /t REG_DWORD /d 768 /f >/dev/null
  trap '"$build/wine-run" reg delete "$game_key" /f >/dev/null 2>&1;
    scripts/wine-session.sh stop "$session" "$build/wine-run"' EXIT
fi

windows_path() { "$build/wine-run" winepath -w "$1" | tr -d '\r\n'; }
program=$(windows_path "$build/quendrix.exe")
grep -m1 'model name' /proc/cpuinfo
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for demo in "$tiny" "$big"; do
  cat "$demo" >/dev/null  # into the page cache
  echo "$(basename "$demo") ($(stat -c %s "$demo") bytes):"
  "$build/wine-run" "$build/quendrix_summary_wait.exe" "$program" "$(windows_path "$demo")" 5 |
    tr -d '\r'
done

# One tiny demo under many names: each is a demo of its own to the library.
folder=$build/bench-library-$library_demos
if [ ! -d "$folder" ]; then
  mkdir -p "$folder"
  for n in $(seq -w 1 "$library_demos"); do ln "$tiny" "$folder/demo $n.dem"; done
fi
index=$("$build/wine-run" winepath -u 'C:\users' | tr -d '\r')
find "$index" -path '*/Quendrix/library.idx' -delete
echo "library of $library_demos demos, first opening (reads them all):"
"$build/wine-run" "$build/quendrix_summary_wait.exe" --library "$library_demos" "$program" \
  "$(windows_path "$folder")" 1 | tr -d '\r'
echo "library of $library_demos demos, opened again (the index):"
"$build/wine-run" "$build/quendrix_summary_wait.exe" --library "$library_demos" "$program" \
  "$(windows_path "$folder")" 5 | tr -d '\r'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
