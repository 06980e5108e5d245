# Sourced: the test fixtures' own processes.  stop_own_process stops a
# process named by a PID file only while that PID is still the process that
# was started (its command line contains MARKER, for example the state folder
# it serves), never a stranger that reused the number.
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

# Waits up to ten seconds for a started server to write FILE (its port);
# otherwise says that WHAT did not start, with the server's output OUT.
#   wait_for_start FILE OUT WHAT
wait_for_start() {
  local file="$1" out="$2" what="$3"
  for _ in $(seq 100); do
    [ -s "$file" ] && return 0
    sleep 0.1
  done
  echo "$what did not start:" >&2
  cat "$out" >&2 || true
  return 1
}
