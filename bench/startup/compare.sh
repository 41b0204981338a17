#!/usr/bin/env bash
# Times start-up to the first shown frame of the real window and of a bare Qt Widgets window, side by
# side under Xvfb, then the real window's start-up to its finished state (the lists filled just after
# the first frame), and the peak memory of a whole run (start, a Calculate on a 16 MiB image, close).
# The load averages at the start and the end tell an idle machine from a busy one.
#   bench/startup/compare.sh BUILD_DIR [RUNS]
set -euo pipefail
build="$1"
runs="${2:-20}"
flintor="$build/bench/bench_startup_flintor"
bare="$build/bench/bench_startup_bare"

load() { echo "load averages (1, 5, 15 min) at the $1 of the timed runs: $(cut -d' ' -f1-3 /proc/loadavg)"; }
load start

work="$(mktemp -d)"
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The time from the start of the process to each time stamp it prints, in microseconds, one a line.
stamps_us() {
  local start stamp
  start=$(date +%s%N)
  "$@" | while read -r stamp; do echo $(( (stamp - start) / 1000 )); done
}

median() { sort -n | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%.1f", m/1000}'; }

: >"$work/bare"; : >"$work/flintor"; : >"$work/finished"
for _ in $(seq "$runs"); do
  stamps_us "$bare" | head -n1 >>"$work/bare"
  stamps_us "$flintor" >"$work/stamps"
  head -n1 "$work/stamps" >>"$work/flintor"
  tail -n1 "$work/stamps" >>"$work/finished"
done
b=$(median <"$work/bare"); f=$(median <"$work/flintor"); s=$(median <"$work/finished")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
echo "first shown frame, median of $runs runs under Xvfb: bare Qt window $b ms, Flintor $f ms, ratio $(ratio "$f" "$b")"
echo "Flintor's start-up finished (lists filled), median: $s ms, ratio $(ratio "$s" "$b")"
load end

image="$work/router-16mb.bin"
printf '\x34\x44\x54\x4d\x01\x02\x03\x04\x40\x30\x20\x10\x00\x00\x00\x00' >"$image"
head -c $((16700000 - 16)) /dev/zero >>"$image"
printf 'hsqs' >>"$image"
head -c $((16777216 - 16700004)) /dev/zero >>"$image"
for program in "$bare" "$flintor"; do
  args=()
  [ "$program" = "$flintor" ] && args=("$image")
  /usr/bin/time -v "$program" "${args[@]}" 2>"$work/time" >/dev/null
  echo "peak memory of $(basename "$program") ${args[*]:+with a Calculate on a 16 MiB image}: $(awk -F': ' '/Maximum resident/ {printf "%.1f MB", $2/1024}' "$work/time")"
done
