# Sourced: starts a detached persistent wineserver for one architecture's
# prefix and an Xvfb display for the caller, and stops both when the caller's
# shell exits (normally, on error or on an interrupt).  The caller's own EXIT
# trap is kept and runs after ours.
#   wine_session_start [32|64]   (default: VELMORA_WINE_ARCH, else 64)
#   wine_session_stop
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

_velmora_xvfb_pid=""
_velmora_server_up=0

wine_session_stop() {
  if [ "$_velmora_server_up" = 1 ]; then
    # Our own persistent server: end it and wait for it (bounded).
    "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
    _velmora_server_up=0
  fi
  if [ -n "$_velmora_xvfb_pid" ]; then
    kill "$_velmora_xvfb_pid" 2>/dev/null || true
    wait "$_velmora_xvfb_pid" 2>/dev/null || true
    _velmora_xvfb_pid=""
  fi
}

# Adds a command in front of the caller's EXIT trap instead of replacing it.
_velmora_chain_exit_trap() {
  local command="$1" existing
  existing="$(trap -p EXIT)"
  if [ -n "$existing" ]; then
    # trap -p prints: trap -- 'COMMAND' EXIT
    eval "set -- $existing"
    trap "$command; $3" EXIT
  else
    trap "$command" EXIT
  fi
}

_velmora_start_xvfb() {
  local fdfile log
  fdfile="$(mktemp /tmp/velmora-xvfb.XXXXXX)"
  log="$fdfile.log"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" </dev/null >"$log" 2>&1 &
  _velmora_xvfb_pid=$!
  local display=""
  for _ in $(seq 100); do
    display="$(tr -dc 0-9 <"$fdfile")"
    [ -n "$display" ] && break
    kill -0 "$_velmora_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$display" ]; then
    echo "wine-session: Xvfb did not start:" >&2
    cat "$log" >&2
    rm -f "$fdfile" "$log"
    return 1
  fi
  rm -f "$fdfile" "$log"
  export DISPLAY=":$display"
}

wine_session_start() {
  [ -n "${1:-}" ] && velmora_wine_select "$1"
  if [ "${_velmora_trap_set:-0}" = 0 ]; then
    _velmora_chain_exit_trap wine_session_stop
    trap 'wine_session_stop; exit 130' INT TERM HUP
    _velmora_trap_set=1
  fi
  if [ -z "$_velmora_xvfb_pid" ]; then
    _velmora_start_xvfb || return 1
  fi
  velmora_wine_prefix || return 1

  # One detached server alive for the run: without it every Wine process pays
  # the server's start and linger.  It must be ours: a server of this prefix
  # that is already running (another session) is used but never stopped.
  if setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1; then
    _velmora_server_up=1
  fi
  if ! timeout 120 "$VELMORA_WINE" cmd /c exit </dev/null >/dev/null 2>&1; then
    echo "wine-session: $VELMORA_WINE cannot run programs in $WINEPREFIX" >&2
    return 1
  fi
  _velmora_check_server_network
}

# Wine's server makes the programs' sockets: a server of this prefix that was
# started in another network namespace (a session in `unshare -n`) connects
# every program of ours to that namespace's loopback.  Says so in one line.
_velmora_check_server_network() {
  local pid prefix ours
  ours="$(readlink /proc/self/ns/net 2>/dev/null)" || return 0
  for pid in $(pgrep -x "$(basename "$WINESERVER")" 2>/dev/null; pgrep -x wineserver 2>/dev/null); do
    # A server that ends meanwhile (wineboot's own) has no environment left.
    prefix="$( { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | sed -n 's/^WINEPREFIX=//p' || true)"
    [ "$prefix" = "$WINEPREFIX" ] || continue
    if [ "$(readlink "/proc/$pid/ns/net" 2>/dev/null)" != "$ours" ]; then
      echo "wine-session: the Wine server of $WINEPREFIX (pid $pid) runs in another network namespace: network tests will fail; stop it with WINEPREFIX=$WINEPREFIX $WINESERVER -k" >&2
    fi
  done
  return 0
}
