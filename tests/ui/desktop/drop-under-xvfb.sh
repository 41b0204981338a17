#!/usr/bin/env bash
# A file dropped onto the real flintor window from another process, under a real X server (Xvfb):
# our drag source offers three files, xdotool carries the drag onto the window's file list with the
# mouse, and then, seen from outside only:
#   - the drag source hears that the window took the drop as a copy (so a file manager keeps the file);
#   - the screenshot of the window shows the second entry of File1, Router.IMG (the first file
#     offered), selected, and only it;
#   - closing the window writes the dropped file's folder into settings.ini beside the program.
# The screenshot is kept for people.
#   drop-under-xvfb.sh FLINTOR_BINARY DRAGSOURCE_BINARY SCREENSHOT.png
set -u
flintor="$1"
dragsource="$2"
shot="$3"

for tool in Xvfb xdotool import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (apt-get install xvfb xdotool imagemagick); no drop was tried under X."
    exit 77
  fi
done

status=0
fail() { echo "FAIL: $*"; status=1; }

work="$(mktemp -d)"
cleanup() {
  for pid in ${source_pid:-} ${app:-} ${xvfb:-}; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/support/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
start_xvfb "$work" || exit 1
export XDG_CONFIG_HOME="$work/config"

# The firmware folder, named with a blank so that the path travels URL-encoded.
fw="$work/my firmware"
mkdir -p "$fw" "$work/program" "$work/start"
printf 'image' >"$fw/Router.IMG"
printf 'image' >"$fw/other.bin"
printf 'text' >"$fw/notes.txt"

# A copy of the program in a folder of its own, so its settings file lands there.
cp "$flintor" "$work/program/flintor"
(cd "$work/start" && exec "$work/program/flintor") >"$work/flintor.log" 2>&1 &
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
[ -n "$window" ] || { echo "no Flintor window appeared"; cat "$work/flintor.log"; report_missing_window "$app"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y, WIDTH, HEIGHT
wx=$X; wy=$Y
echo "flintor window $window at $wx,$wy size ${WIDTH}x$HEIGHT"

"$dragsource" "$fw/Router.IMG" "$fw/other.bin" "$fw/notes.txt" >"$work/source.out" 2>"$work/source.err" &
source_pid=$!
source_window="$(wait_for_window 'Drag source')"
[ -n "$source_window" ] || { echo "the drag source did not show its window"; cat "$work/source.err"; exit 1; }
sleep 0.3

# The file list (File1) lies 133 to 219 pixels below the window's top at 15 twips per pixel.
drop_x=$((wx + 270)); drop_y=$((wy + 170))
xdotool mousemove 100 60
sleep 0.2
xdotool mousedown 1
sleep 0.3
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove $((100 + (drop_x - 100) * step / 8)) $((60 + (drop_y - 60) * step / 8))
  sleep 0.1
done
xdotool mousemove $((drop_x + 2)) "$drop_y"
sleep 0.2
xdotool mousemove "$drop_x" "$drop_y"
sleep 0.3
xdotool mouseup 1

for _ in $(seq 50); do
  grep -q '^drop:' "$work/source.out" && break
  sleep 0.1
done
answer="$(cat "$work/source.out")"
echo "drag source: ${answer:-no answer}"
[ "$answer" = "drop: copy" ] || fail "the window did not take the drop as a copy"

sleep 0.3
import -window "$window" "$shot" || fail "no screenshot of the window"
echo "screenshot: $shot"

# File1 lies at (8, 133), 536 x 86 pixels, in the window (15 twips per pixel). It lists other.bin and
# Router.IMG, one row of about 12 pixels each; the selected row is filled with the highlight blue.
# Its band must cover the second row, not the first, and no other.
band="$(convert "$shot" -crop 536x86+8+133 +repage -fx '(b>0.6 && r<0.4) ? 1 : 0' -scale '1x86!' -depth 8 txt:- |
  awk -F'[ ,:()]+' 'NR > 1 && $4 > 128 { if (first == "") first = $2; last = $2; n++ }
                    END { printf "%s %s %d", (first == "" ? -1 : first), (last == "" ? -1 : last), n }')"
read -r first last rows <<<"$band"
echo "highlighted rows of File1: ${first}..${last} ($rows rows)"
if [ "$rows" -lt 8 ]; then
  fail "nothing is selected in File1"
elif [ "$first" -lt 8 ] || [ "$last" -gt 30 ] || [ $((last - first + 1)) -ne "$rows" ]; then
  fail "File1 has another entry than Router.IMG selected"
fi

# Closing the window as a window manager's close button does writes the settings file. The drag
# source goes first, as it ends by itself a few seconds after the drop.
wait "$source_pid" 2>/dev/null
source_pid=""
"$dragsource" --close "$window" || fail "could not ask the window to close"
for _ in $(seq 50); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
  fail "flintor did not end after its window was closed"
  xwininfo -root -children | grep -i -E 'flintor|drag' | sed 's/^/  window: /'
  xwininfo -id "$window" | grep -E 'Map State' | sed 's/^/  main window: /'
fi
app=""
settings="$work/program/settings.ini"
if [ -f "$settings" ]; then
  echo "settings.ini: $(tr '\n' '|' <"$settings")"
  grep -qxF "Last path=$fw" "$settings" || fail "settings.ini does not remember the dropped file's folder"
else
  fail "flintor wrote no settings.ini beside itself"
fi
[ -f "$fw/Router.IMG" ] || fail "the dropped file is gone"
[ $status -eq 0 ] && echo "the dropped file was selected and its folder remembered"
exit $status
