# Sourced: starts a detached persistent wineserver and an Xvfb display for the
# caller, and stops both when the caller's shell exits (normally, on error or
# on an interrupt).  Functions: wine_session_start, wine_session_stop.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

_velmora_xvfb_pid=""
_velmora_session_up=0

wine_session_stop() {
  if [ "$_velmora_session_up" = 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$_velmora_xvfb_pid" ]; then
    kill "$_velmora_xvfb_pid" 2>/dev/null || true
    wait "$_velmora_xvfb_pid" 2>/dev/null || true
    _velmora_xvfb_pid=""
  fi
  _velmora_session_up=0
}

wine_session_start() {
  trap wine_session_stop EXIT
  trap 'wine_session_stop; exit 130' INT TERM HUP

  # An X display of our own for windows.
  local display
  for display in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$display" ] && [ ! -e "/tmp/.X$display-lock" ]; then break; fi
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  _velmora_xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

  # Create the prefix once, then keep one detached server alive for the run:
  # without it every Wine process pays the server's start and linger.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: creating Wine prefix $WINEPREFIX (once)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  _velmora_session_up=1
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}
