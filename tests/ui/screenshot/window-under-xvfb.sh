#!/usr/bin/env bash
# Starts the real flintor binary under a real X server (Xvfb), waits for its window, takes a
# screenshot and checks that the window is drawn: not blank, with the orange step headings and the
# Calculate button's border colour on screen.
#   window-under-xvfb.sh FLINTOR_BINARY SCREENSHOT.png
set -u
flintor="$1"
shot="$2"

for tool in Xvfb xdotool import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (apt-get install xvfb xdotool imagemagick); the window was not tried under X."
    exit 77
  fi
done

work="$(mktemp -d)"
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/support/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
start_xvfb "$work" || exit 1

# A copy of the program in a folder of its own, so its settings file lands there.
cp "$flintor" "$work/flintor"
(cd "$work" && exec ./flintor) >"$work/flintor.log" 2>&1 &
app=$!

window=""
for _ in $(seq 100); do
  window="$(xdotool search --onlyvisible --name 'Flintor' 2>/dev/null | head -n1)"
  [ -n "$window" ] && break
  if ! kill -0 "$app" 2>/dev/null; then
    echo "flintor exited before showing its window:"; cat "$work/flintor.log"; exit 1
  fi
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no Flintor window appeared within 10 s"; cat "$work/flintor.log"; report_missing_window "$app"; exit 1
fi
sleep 0.5
import -window "$window" "$shot"

read -r width height colours < <(convert "$shot" -format '%w %h %k' info:)
echo "screenshot $shot: ${width}x${height}, $colours colours"
orange=$(convert "$shot" -fill black +opaque 'rgb(255,224,192)' -fill white -opaque 'rgb(255,224,192)' -format '%[fx:int(mean*w*h+0.5)]' info:)
border=$(convert "$shot" -fill black +opaque 'rgb(0,60,116)' -fill white -opaque 'rgb(0,60,116)' -format '%[fx:int(mean*w*h+0.5)]' info:)
echo "step-heading orange pixels: $orange, button border pixels: $border"
status=0
[ "$width" -ge 400 ] && [ "$height" -ge 400 ] || { echo "FAIL: the window is too small"; status=1; }
[ "$colours" -gt 50 ] || { echo "FAIL: the window looks blank"; status=1; }
[ "$orange" -gt 1000 ] || { echo "FAIL: the step headings are not drawn"; status=1; }
[ "$border" -gt 100 ] || { echo "FAIL: the Calculate button is not drawn"; status=1; }
exit $status
