# Sourced: stops a process named by a PID file only while that PID is still
# the process that was started (its command line contains MARKER, for example
# the state folder it serves), never a stranger that reused the number.
#   stop_own_process PIDFILE MARKER
stop_own_process() {
  local pidfile="$1" marker="$2" pid
  [ -f "$pidfile" ] || return 0
  pid="$(tr -dc 0-9 <"$pidfile")"
  rm -f "$pidfile"
  [ -n "$pid" ] || return 0
  if [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$marker"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
}
