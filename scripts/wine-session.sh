#!/usr/bin/env bash
# start STATE WINE_RUN: a display of our own (Xvfb) and one persistent
# wineserver for a whole test run, in the prefix of the build whose wrapper
# WINE_RUN is. stop STATE WINE_RUN: ends both.
set -euo pipefail
action=$1 state=$2 run=$3
mkdir -p "$state"

stop() {
  "$run" wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -s "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  fi
  rm -f "$state/display" "$state/xvfb.pid"
}

case $action in
  start)
    stop
    : >"$state/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display" \
      </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$state/display" ] && break
      sleep 0.05
    done
    [ -s "$state/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    display=$(tr -d '\n' <"$state/display")
    printf '%s' "$display" >"$state/display"
    export DISPLAY=":$display" QUENDRIX_KEEP_DISPLAY=1
    "$run" wineserver -p </dev/null >/dev/null 2>&1
    "$run" wineboot </dev/null >/dev/null 2>&1
    ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop STATE WINE_RUN" >&2; exit 2 ;;
esac
