# Sourced by the scripts that run the real window in a real X server.
#   start_xvfb WORK_DIR   starts Xvfb on a free display (its pid in $xvfb), exports DISPLAY,
#                         QT_QPA_PLATFORM=xcb and a private XDG_RUNTIME_DIR under WORK_DIR.
# -noreset keeps the server up when a client disconnects: a client connecting during a reset fails.
start_xvfb() {
  local work="$1"
  Xvfb -displayfd 3 -screen 0 "${FLINTOR_XVFB_SCREEN:-1280x800x24}" -noreset -nolisten tcp \
    3>"$work/display" 2>"$work/xvfb.log" &
  xvfb=$!
  for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:"
    cat "$work/xvfb.log"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$work/display")"
  # The window's accessibility bridge connects to the session bus as it starts. Without one, libdbus
  # starts one through dbus-launch, forked from a process that already runs several threads, and a child
  # forked so can hang before it runs dbus-launch in a sanitizer build. The X server gets a session bus
  # of its own, as a desktop has, which ends with it.
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-launch >/dev/null 2>&1; then
    eval "$(dbus-launch --sh-syntax --exit-with-x11)"
  fi
  export QT_QPA_PLATFORM=xcb
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

# What a program that did not show its window is doing: its threads' stacks (where gdb is installed)
# and the windows the X server has, so that a failure says more than that nothing appeared.
report_missing_window() { # PID
  echo "windows on $DISPLAY: $(xdotool search --name '.' getwindowname %@ 2>/dev/null | tr '\n' '|')"
  ps -e -o pid,ppid,stat,wchan:24,args | awk -v p="$1" '$1 == p || $2 == p || seen[$2] { seen[$1] = 1; print }' 
  if command -v gdb >/dev/null 2>&1 && kill -0 "$1" 2>/dev/null; then
    gdb -p "$1" -batch -ex 'thread apply all bt 25' 2>/dev/null | grep -E '^(Thread|#)'
  fi
}
