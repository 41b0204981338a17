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
  export QT_QPA_PLATFORM=xcb
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}
