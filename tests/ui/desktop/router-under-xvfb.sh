#!/usr/bin/env bash
# The real flintor window repairing router-sim (a simulated PSP boot loader on 127.0.0.1) under Xvfb:
# a PSP calculation of the sample on 4MB, then from the keyboard "Compare with router..." (Alt+R), "Read
# from router" (Alt+R), "Write repair to router..." (Alt+W) and "Write" (Alt+W). router-sim must have
# been read twice and sent the one SETENV of the repair, and the record must hold mtd0 as it was. The
# dialog's screenshot is kept for people.
#   router-under-xvfb.sh FLINTOR_BINARY ROUTER_SIM_BINARY SAMPLES_DIR SCREENSHOT.png
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

"$2" --psp >"$work/sim.out" 2>&1 &
sim=$!
window() { # NAME: waits for a window, prints its id
  for _ in $(seq 100); do xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 | grep . && return; sleep 0.1; done
  return 1
}
for _ in $(seq 50); do grep -q 'listening on' "$work/sim.out" && break; sleep 0.1; done
# The settings give the dialog router-sim's address: it never offers the default one here.
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
sleep 0.5; xdotool key alt+r; sleep 1.5; xdotool key alt+w
window 'Write repair to router' >/dev/null || { echo "Write repair to router... asked nothing"; exit 1; }
sleep 0.3; xdotool key alt+w; sleep 1.5
import -window "$dialog" "$4"
kill "$app" "$sim"; wait "$app" "$sim" 2>/dev/null; app="" sim=""
grep received "$work/sim.out"
status=0
[ "$(grep -c 'received GETENV flashsize' "$work/sim.out")" = 2 ] || { echo "FAIL: not read again before writing"; status=1; }
[ "$(grep 'received SETENV' "$work/sim.out")" = 'router-sim: received SETENV mtd0,0x90022000,0x90400000' ] ||
  { echo "FAIL: not the one repair of mtd0"; status=1; }
grep -q '^mtd0 *0x900a0000,0x90400000' "$work"/data/Flintor/records/flintor-router-*.txt ||
  { echo "FAIL: no record of mtd0 as it was"; status=1; }
exit $status
