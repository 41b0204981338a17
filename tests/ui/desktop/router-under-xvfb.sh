#!/usr/bin/env bash
# The real flintor window repairing router-sim, a simulated PSP boot loader on 127.0.0.1, under a real
# X server (Xvfb): a PSP calculation of the sample on 4MB, then with the keyboard "Compare with
# router..." (Alt+R), "Read from router" (Alt+R), "Write repair to router..." (Alt+W) and "Write" (Alt+W)
# in the question. Seen from outside:
#   - router-sim received exactly the one SETENV that the comparison repairs, after a second read;
#   - the record in the user's data folder holds the router's mtd0 as it was before.
# The screenshot of the dialog after the write is kept for people.
#   router-under-xvfb.sh FLINTOR_BINARY ROUTER_SIM_BINARY SAMPLES_DIR SCREENSHOT.png
set -u
flintor="$1"
routersim="$2"
samples="$(realpath "$3")"
shot="$4"

for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (apt-get install xvfb xdotool imagemagick); no router was repaired under X."
    exit 77
  fi
done

status=0
fail() { echo "FAIL: $*"; status=1; }

work="$(mktemp -d)"
cleanup() {
  for pid in ${app:-} ${sim:-} ${xvfb:-}; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/support/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
start_xvfb "$work" || exit 1
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" FLINTOR_LOOPBACK_ONLY=1

"$routersim" --psp >"$work/router-sim.out" 2>&1 &
sim=$!
for _ in $(seq 50); do
  grep -q 'listening on' "$work/router-sim.out" && break
  sleep 0.1
done
router="$(sed -n 's/.* listening on \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/router-sim.out")"
[ -n "$router" ] || { echo "router-sim did not start"; cat "$work/router-sim.out"; exit 1; }

# A copy of the program in a folder of its own, whose settings file gives router-sim's address: the
# dialog never offers the default one.
mkdir -p "$work/program"
cp "$flintor" "$work/program/flintor"
printf '[Router]\nAddress=%s\n' "$router" >"$work/program/settings.ini"
"$work/program/flintor" "$samples/psp-4mb.bin" >"$work/flintor.log" 2>&1 &
app=$!

wait_for_window() { # NAME -> window id
  local id=""
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)"
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}

window="$(wait_for_window 'Flintor for Class II routers')"
[ -n "$window" ] || { echo "no Flintor window appeared"; cat "$work/flintor.log"; exit 1; }
sleep 0.5
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
click 78 247  # 4MB
click 14 287  # PSP
click 476 367 # Calculate MTD values
sleep 0.5
xdotool key alt+r # Compare with router...
dialog="$(wait_for_window 'Compare with router')"
[ -n "$dialog" ] || { echo "the comparison did not open"; cat "$work/flintor.log"; exit 1; }
sleep 0.5
xdotool key alt+r # Read from router
sleep 1.5
xdotool key alt+w # Write repair to router...
question="$(wait_for_window 'Write repair to router')"
if [ -n "$question" ]; then
  sleep 0.3
  xdotool key alt+w # Write
  sleep 1.5
  import -window "$dialog" "$shot" || fail "no screenshot of the dialog"
  echo "screenshot: $shot"
else
  fail "Write repair to router... asked nothing"
fi

kill "$app"; wait "$app" 2>/dev/null; app=""
kill "$sim"; wait "$sim" 2>/dev/null; sim=""
grep 'received' "$work/router-sim.out" | sed 's/^/  /'
setenvs="$(grep -c 'received SETENV' "$work/router-sim.out")"
[ "$setenvs" = 1 ] || fail "router-sim received $setenvs SETENV commands instead of one"
grep -qxF 'router-sim: received SETENV mtd0,0x90022000,0x90400000' "$work/router-sim.out" ||
  fail "router-sim was not sent the repair of mtd0"
[ "$(grep -c 'received GETENV flashsize' "$work/router-sim.out")" = 2 ] ||
  fail "the router was not read again before the write"
records=("$work"/data/Flintor/records/flintor-router-*.txt)
if [ -f "${records[0]}" ]; then
  grep -q '^mtd0 *0x900a0000,0x90400000' "${records[0]}" || fail "the record does not hold the router's mtd0 before"
else
  fail "no record in $work/data/Flintor/records"
fi
[ $status -eq 0 ] && echo "the repair went to the router, with its record kept first"
exit $status
