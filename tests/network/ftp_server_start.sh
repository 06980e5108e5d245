#!/usr/bin/env bash
# CTest fixture: starts a real FTP server (pyftpdlib) for the FTP tests on a
# free loopback port with an empty root.  State folder layout:
#   port  pid  root/  local/  server.log
set -euo pipefail
state="$1"
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

source "$source_dir/scripts/own-process.sh"
stop_own_process "$state/pid" "$state/root"
rm -rf "$state"
mkdir -p "$state/root" "$state/local"

# Detached, and with its own output file, so that CTest does not wait for it.
setsid /usr/bin/python3 "$source_dir/scripts/ftp_server.py" \
  --root "$state/root" --port-file "$state/port" --pid-file "$state/pid" \
  --user velmora --password secret --log "$state/server.log" \
  </dev/null >"$state/server.out" 2>&1 &

for _ in $(seq 100); do
  if [ -s "$state/port" ]; then
    echo "FTP server on 127.0.0.1:$(cat "$state/port"), root $state/root"
    exit 0
  fi
  sleep 0.1
done
echo "FTP server did not start:" >&2
cat "$state/server.out" >&2 || true
exit 1
