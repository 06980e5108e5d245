#!/usr/bin/env bash
# Test fixture: two real web servers, nginx and Python's http.server, both on
# 127.0.0.1 and serving the same fresh folder.
#   http_servers.sh start STATE   folder, servers; STATE/servers.txt names them
#   http_servers.sh stop STATE    stops both and removes the folder
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
action="$1"
state="$2"

source "$source_dir/scripts/own-process.sh"
stop() {
  for name in nginx python; do
    stop_own_process "$state/$name.pid" "$state/root"
  done
  rm -rf "$state"
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi

stop
mkdir -p "$state/root/SPLIT/1" "$state/root/folder"
root="$state/root"
# A file of several megabytes whose bytes differ from block to block, so a
# lost, doubled or shifted piece shows.
head -c 6000017 /dev/urandom >"$root/big.bin"
: >"$root/empty.bin"
printf 'part one\n' >"$root/SPLIT/1/1"
printf 'inside\n' >"$root/folder/file.txt"

setsid bash "$source_dir/scripts/web_server.sh" "$root" "$state/nginx.port" \
  </dev/null >"$state/nginx.log" 2>&1 &
echo $! >"$state/nginx.pid"

python_port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
setsid /usr/bin/python3 -m http.server "$python_port" --bind 127.0.0.1 --directory "$root" \
  </dev/null >"$state/python.log" 2>&1 &
echo $! >"$state/python.pid"

for _ in $(seq 100); do
  if [ -s "$state/nginx.port" ] &&
     /usr/bin/python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1",int(sys.argv[1])),1).close()' \
       "$python_port" 2>/dev/null; then
    {
      echo "root=$root"
      echo "nginx=$(cat "$state/nginx.port")"
      echo "python=$python_port"
    } >"$state/servers.txt"
    cat "$state/servers.txt"
    exit 0
  fi
  sleep 0.1
done
echo "http_servers: servers did not start" >&2
cat "$state/nginx.log" "$state/python.log" >&2 || true
stop
exit 1
