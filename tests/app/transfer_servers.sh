#!/usr/bin/env bash
# Test fixture: the transfer server of one test program, as a sender and a
# receiver meet it: a real FTP server (pyftpdlib) on ADDRESS port 21 and a
# real nginx on a free port of 127.0.0.1, both serving the same fresh root
# with its "SPLIT" folder.
#   transfer_servers.sh start STATE ADDRESS
#   transfer_servers.sh stop STATE
# STATE afterwards holds: root/ (the served folder), web.port, ftp.address,
# web.log (nginx's access log: which files were fetched, with their status).
# While the fixture runs, a test may stop and start the FTP server by
# creating STATE/ftp.stop or STATE/ftp.start; the request file is removed
# once it is carried out, and STATE/ftp.state then says "stopped" or
# "running".  STATE/ftp.kill kills it (SIGKILL, state "killed"),
# STATE/ftp.freeze and STATE/ftp.thaw stop and continue it (SIGSTOP and
# SIGCONT, states "frozen" and "running").  A start reads STATE/ftp.limit,
# when present, as the bytes per second the server takes on a data
# connection.  VELMORA_WEB_RATE, when set at the start, limits what nginx
# sends per connection (nginx's limit_rate, "2m").
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
action="$1"
state="$2"
source "$source_dir/scripts/own-process.sh"

stop_all() {
  stop_own_process "$state/control.pid" "$state"
  stop_own_process "$state/ftp.pid" "$state/root"
  stop_own_process "$state/nginx.pid" "$state/root"
}

if [ "$action" = stop ]; then
  # A frozen server would not take the signal to end.
  pid="$(tr -dc 0-9 <"$state/ftp.pid" 2>/dev/null || true)"
  [ -z "$pid" ] || kill -CONT "$pid" 2>/dev/null || true
  stop_all
  rm -rf "$state"
  exit 0
fi
if [ "$action" = control ]; then
  # The stop/start requests of the tests, until the fixture ends.
  address="$(cat "$state/ftp.address")"
  while sleep 0.1; do
    if [ -e "$state/ftp.stop" ]; then
      stop_own_process "$state/ftp.pid" "$state/root"
      echo stopped >"$state/ftp.state"
      rm -f "$state/ftp.stop"
    fi
    if [ -e "$state/ftp.kill" ]; then
      pid="$(tr -dc 0-9 <"$state/ftp.pid" 2>/dev/null || true)"
      if [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "$state/root"; then
        kill -KILL "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      fi
      rm -f "$state/ftp.pid"
      echo killed >"$state/ftp.state"
      rm -f "$state/ftp.kill"
    fi
    for signal in freeze thaw; do
      if [ -e "$state/ftp.$signal" ]; then
        pid="$(tr -dc 0-9 <"$state/ftp.pid" 2>/dev/null || true)"
        if [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "$state/root"; then
          if [ "$signal" = freeze ]; then kill -STOP "$pid"; echo frozen >"$state/ftp.state"
          else kill -CONT "$pid"; echo running >"$state/ftp.state"; fi
        fi
        rm -f "$state/ftp.$signal"
      fi
    done
    if [ -e "$state/ftp.start" ]; then
      bash "$0" ftp "$state" "$address"
      echo running >"$state/ftp.state"
      rm -f "$state/ftp.start"
    fi
  done
fi
if [ "$action" = ftp ]; then
  rm -f "$state/ftp.port"
  limit=0
  [ -s "$state/ftp.limit" ] && limit="$(tr -dc 0-9 <"$state/ftp.limit")"
  setsid /usr/bin/python3 "$source_dir/scripts/ftp_server.py" --address "$3" --port 21 \
    --root "$state/root" --port-file "$state/ftp.port" --pid-file "$state/ftp.pid" --read-limit "${limit:-0}" \
    --user velmora --password secret --log "$state/ftp.log" \
    </dev/null >>"$state/ftp.out" 2>&1 &
  wait_for_start "$state/ftp.port" "$state/ftp.out" "FTP server on $3:21"
  exit $?
fi

address="$3"
stop_all
rm -rf "$state"
mkdir -p "$state/root/SPLIT"
echo "$address" >"$state/ftp.address"
bash "$0" ftp "$state" "$address"
echo running >"$state/ftp.state"

WEB_SERVER_ACCESS_LOG="$state/web.log" setsid bash "$source_dir/scripts/web_server.sh" "$state/root" "$state/web.port" \
  </dev/null >"$state/nginx.log" 2>&1 &
echo $! >"$state/nginx.pid"
setsid bash "$0" control "$state" </dev/null >/dev/null 2>&1 &
echo $! >"$state/control.pid"

for _ in $(seq 100); do
  if [ -s "$state/web.port" ]; then
    echo "FTP $address:21, web 127.0.0.1:$(cat "$state/web.port"), root $state/root"
    exit 0
  fi
  sleep 0.1
done
echo "nginx did not start:" >&2
cat "$state/nginx.log" >&2 || true
stop_all
exit 1
