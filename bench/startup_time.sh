#!/bin/bash
# Time from starting veskor to its main window being on the screen, under a
# virtual X server: the process start, Qt's start-up, the four windows and
# the first group list load included. Target: under 300 ms.
#
#   bench/startup_time.sh [BUILD_DIR] [RUNS]     (default: build/default, 10)
#
# The window is looked for every 5 ms, which bounds the measure's resolution.

set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
runs=${2:-10}
veskor=$build/shell/veskor
[[ -x $veskor ]] || { echo "startup_time: $veskor is not built" >&2; exit 1; }

work=$(mktemp -d)
xvfb=
cleanup() {
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it serves.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "startup_time: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

printf 'Informatique\r\nLoisirs\r\n' >"$work/gpeliste.lst"
cd "$work"
times=()
for run in $(seq "$runs"); do
  start=$(date +%s%N)
  "$veskor" 2>/dev/null &
  pid=$!
  until xdotool search --onlyvisible --name '^Veskor$' >/dev/null 2>&1; do sleep 0.005; done
  end=$(date +%s%N)
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  times+=($(((end - start) / 1000000)))
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "startup_time: ${runs} runs, ms: ${times[*]}"
echo "startup_time: median ${sorted[$((runs / 2))]} ms, max ${sorted[$((runs - 1))]} ms"
