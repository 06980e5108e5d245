#!/usr/bin/env bash
# Checks up front what the tests need, one line for each thing that is
# missing, instead of a failure deep inside a test.  Exit 0 when all is there.
#   root          the FTP servers of the tests listen on port 21
#   port 21       free on every loopback address a transfer test uses
#   a display     Xvfb starts (the window tests run on it)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
problems=0
say() { echo "preflight: $*" >&2; problems=$((problems + 1)); }

[ "$(id -u)" = 0 ] || say "the tests need root: their FTP servers listen on port 21"

# The addresses the transfer tests' servers take (their CMake files name them).
mapfile -t addresses < <(sed -n 's/^set(_transfer_address \(127\.[0-9.]*\)).*/\1/p' "$root"/tests/app/*.cmake | sort -u)
for address in "${addresses[@]}"; do
  if ! python3 - "$address" <<'PY' 2>/dev/null; then
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], 21))
s.close()
PY
    holder=$(ss -Hltnp "sport = :21" 2>/dev/null | grep -oE 'users:\(\("[^"]+",pid=[0-9]+' | head -1 | sed -E 's/users:\(\("([^"]+)",pid=([0-9]+)/\1 (pid \2)/')
    say "port 21 on $address is taken${holder:+ by $holder}: stop that FTP server (a demo still running?)"
  fi
done

# A display server that starts.
if ! command -v Xvfb >/dev/null; then
  say "Xvfb is missing (run scripts/bootstrap.sh as root)"
else
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$fdfile" </dev/null >"$fdfile.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    say "the display server Xvfb does not start: $(tail -n 2 "$fdfile.log" | paste -sd ' ' -)"
  fi
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  rm -f "$fdfile" "$fdfile.log"
fi

exit $((problems > 0))
