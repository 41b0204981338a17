#!/usr/bin/env bash
# The real flintor window writing the PSP sample into router-sim's image area under Xvfb, as
# router-under-xvfb.sh repairs it, then "Write image to router..." (Alt+I) and "Write image" (Alt+W), the
# copy of the image area kept as offered: router-sim must get the copy's RETR, the STOR, the read-back's
# RETR and the SETENV of mtd0, in that order, and the copy lies beside the record. The flash takes 3 seconds
# to program; screenshots of the question, the flash being written and the outcome are kept for people.
#   image-under-xvfb.sh FLINTOR_BINARY ROUTER_SIM_BINARY SAMPLES_DIR SCREENSHOT_PREFIX
set -u
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"
trap 'kill ${app:-} ${sim:-} ${xvfb:-} 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
# shellcheck source=tests/support/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
start_xvfb "$work" || exit 1
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" FLINTOR_LOOPBACK_ONLY=1

"$2" --psp --flash-time 3000 >"$work/sim.out" 2>&1 &
sim=$!
window() { # NAME: waits for a window, prints its id
  for _ in $(seq 100); do xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 | grep . && return; sleep 0.1; done
  return 1
}
for _ in $(seq 50); do grep -q 'listening on' "$work/sim.out" && break; sleep 0.1; done
mkdir "$work/program" && cp "$1" "$work/program/flintor"
printf '[Router]\nAddress=%s\n' "$(sed -n 's/.* listening on //p' "$work/sim.out")" >"$work/program/settings.ini"
"$work/program/flintor" "$3/psp-4mb.bin" >"$work/flintor.log" 2>&1 &
app=$!
main="$(window 'Flintor for')" || { echo "no window"; cat "$work/flintor.log"; report_missing_window "$app"; exit 1; }
sleep 0.5
for at in "78 247" "14 287" "476 367"; do # 4MB, PSP, Calculate MTD values
  xdotool mousemove --window "$main" $at click 1; sleep 0.3
done
xdotool key alt+r
dialog="$(window 'Compare with router')" || { echo "no dialog"; exit 1; }
sleep 0.5; xdotool key alt+r; sleep 1.5; xdotool key alt+i
question="$(window 'Write image to router')" || { echo "Write image to router... asked nothing"; exit 1; }
sleep 0.3; import -window "$question" "$4-question.png"
xdotool key alt+w
sleep 1.5; import -window "$dialog" "$4-flashing.png"
sleep 3.5; import -window "$dialog" "$4.png"
kill "$app" "$sim"; wait "$app" "$sim" 2>/dev/null; app="" sim=""
status=0
sent="$(sed -n 's/^router-sim: received \(STOR\|RETR\|SETENV\)/\1/p' "$work/sim.out" | tr '\n' '|')"
[ "$sent" = 'RETR mtd4|STOR psp-4mb.bin mtd4|RETR mtd4|SETENV mtd0,0x90022000,0x90400000|' ] ||
  { echo "FAIL: sent $sent"; status=1; }
record="$(ls "$work"/data/Flintor/records/flintor-router-*.txt 2>/dev/null | head -n1)"
[ -n "$record" ] && [ "$(stat -c %s "${record%.txt}-mtd4.bin")" = 4063232 ] ||
  { echo "FAIL: no record with its copy of the image area: $(ls "$work"/data/Flintor/records 2>&1)"; status=1; }
exit $status
