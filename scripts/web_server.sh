#!/usr/bin/env bash
# Serves a folder over HTTP with a real nginx on 127.0.0.1, in the foreground.
#   scripts/web_server.sh ROOT PORT_FILE [PORT]
# Picks a free port unless PORT is given, writes it to PORT_FILE once nginx
# accepts connections, and runs until it is stopped (TERM/INT), which stops
# nginx and removes its generated configuration, logs and temp folders.
# Folder listings are on (autoindex), as on the transfer server's web side.
# WEB_SERVER_ACCESS_LOG, when set, names the access log (a test reads which
# files were fetched); otherwise it lives and goes with the configuration.
# VELMORA_WEB_RATE limits what nginx sends per connection ("2m"; unlimited
# unless set), for tests that need a download still running.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 ROOT PORT_FILE [PORT]" >&2
  exit 2
fi
root="$(cd "$1" && pwd)"
port_file="$2"
port="${3:-}"

nginx_bin="$(command -v nginx || true)"
[ -n "$nginx_bin" ] || nginx_bin=/usr/sbin/nginx
if [ ! -x "$nginx_bin" ]; then
  echo "web_server: nginx not found (apt-get install nginx-light)" >&2
  exit 1
fi

work="$(mktemp -d /tmp/velmora-nginx.XXXXXX)"
nginx_pid=""
stop() {
  trap - EXIT INT TERM HUP
  if [ -n "$nginx_pid" ]; then
    kill -TERM "$nginx_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$nginx_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop EXIT
trap 'stop; exit 0' INT TERM HUP

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

listening() {
  /usr/bin/python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1",int(sys.argv[1])),1).close()' "$1" \
    2>/dev/null
}

# The workers run as whoever runs this script (as root nginx would switch to
# "nobody", who cannot read a private temp folder).
user_line=""
if [ "$(id -u)" = 0 ]; then user_line="user $(id -un) $(id -gn);"; fi

for attempt in 1 2 3 4 5; do
  [ -n "${3:-}" ] || port="$(free_port)"
  mkdir -p "$work/temp"
  cat >"$work/nginx.conf" <<EOF
$user_line
daemon off;
master_process on;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 256; }
http {
  access_log ${WEB_SERVER_ACCESS_LOG:-$work/access.log};
  client_body_temp_path $work/temp/body;
  proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi;
  uwsgi_temp_path $work/temp/uwsgi;
  scgi_temp_path $work/temp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    server_name localhost;
    root $root;
    autoindex on;
    limit_rate ${VELMORA_WEB_RATE:-0};
  }
}
EOF
  "$nginx_bin" -e "$work/error.log" -p "$work" -c "$work/nginx.conf" </dev/null &
  nginx_pid=$!
  for _ in $(seq 100); do
    if ! kill -0 "$nginx_pid" 2>/dev/null; then break; fi
    if listening "$port"; then
      echo "$port" >"$port_file.tmp"
      mv "$port_file.tmp" "$port_file"
      echo "web_server: nginx on http://127.0.0.1:$port/ serving $root"
      wait "$nginx_pid" || true
      nginx_pid=""
      exit 0
    fi
    sleep 0.1
  done
  # Not up: the port was taken meanwhile, or the configuration is wrong.
  kill "$nginx_pid" 2>/dev/null || true
  wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=""
  cat "$work/error.log" >&2 || true
  [ -z "${3:-}" ] || break
done
echo "web_server: nginx did not start" >&2
exit 1
