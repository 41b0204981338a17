#!/usr/bin/env bash
# The real flintor window read over the desktop's accessibility bus (AT-SPI) under Xvfb: a session
# bus and the accessibility bus are started here, the program opens the PSP sample, and
# accessible-tree.py reads the window as a screen reader does. The tree's listing is kept for people.
#   accessibility-under-xvfb.sh FLINTOR_BINARY SAMPLE_IMAGE LISTING.txt
set -u
flintor="$1"
sample="$(realpath "$2")"
here="$(dirname "${BASH_SOURCE[0]}")"

for tool in Xvfb xdotool dbus-launch /usr/libexec/at-spi-bus-launcher /usr/bin/python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is missing (apt-get install xvfb xdotool dbus-x11 at-spi2-core python3-pyatspi)."
    exit 77
  fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "SKIPPED: python3-pyatspi is missing: there is no screen reader's view of the window."
  exit 77
fi

work="$(mktemp -d)"
cleanup() {
  for pid in ${app:-} ${launcher:-} ${DBUS_SESSION_BUS_PID:-} ${xvfb:-}; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/support/xvfb.sh
source "$here/../../support/xvfb.sh"
start_xvfb "$work" || exit 1
export XDG_CONFIG_HOME="$work/config"
eval "$(dbus-launch --sh-syntax)"
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/at-spi.log" 2>&1 &
launcher=$!
for _ in $(seq 50); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
  sleep 0.1
done

# A copy of the program in a folder of its own, so its settings file lands there.
mkdir -p "$work/program"
cp "$flintor" "$work/program/flintor"
(cd "$work/program" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec ./flintor "$sample") >"$work/flintor.log" 2>&1 &
app=$!

/usr/bin/python3 "$here/accessible-tree.py" "$3" && exit 0
echo "--- flintor:"; cat "$work/flintor.log"
echo "--- accessibility bus:"; cat "$work/at-spi.log"
exit 1
