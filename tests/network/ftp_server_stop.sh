#!/usr/bin/env bash
# CTest fixture: stops the FTP server started by ftp_server_start.sh.
state="$1"
if [ -f "$state/pid" ]; then
  pid="$(cat "$state/pid")"
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
fi
rm -rf "$state/root" "$state/local"
exit 0
