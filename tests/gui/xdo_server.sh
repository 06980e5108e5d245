#!/usr/bin/env bash
# Real keyboard and mouse input for the window tests: Windows programs under
# Wine cannot start xdotool themselves, so this small server runs it for
# them.  A test writes NAME.request (one xdotool argument per line) into the
# folder; the server runs xdotool on the test display and leaves the exit code
# in NAME.done.
#   xdo_server.sh start FOLDER    starts the server in the background
#   xdo_server.sh stop FOLDER     stops it
set -u
command="$1"
folder="$2"
case "$command" in
  start)
    mkdir -p "$folder"
    rm -f "$folder"/*
    setsid bash "$0" serve "$folder" </dev/null >/dev/null 2>&1 &
    echo $! >"$folder/pid"
    ;;
  serve)
    idle=0
    # Ends on request, or by itself after ten idle minutes.
    while [ ! -e "$folder/stop" ] && [ "$idle" -lt 30000 ]; do
      served=0
      for request in "$folder"/*.request; do
        [ -e "$request" ] || continue
        served=1
        base="${request%.request}"
        mv "$request" "$base.running"
        xargs -a "$base.running" -d '\n' xdotool >"$base.output" 2>&1
        echo $? >"$base.code"
        mv "$base.code" "$base.done"
        rm -f "$base.running"
      done
      if [ "$served" = 0 ]; then
        idle=$((idle + 1))
        sleep 0.02
      else
        idle=0
      fi
    done
    rm -f "$folder/stop" "$folder/pid"
    ;;
  stop)
    touch "$folder/stop"
    for _ in $(seq 100); do [ -e "$folder/pid" ] || break; sleep 0.05; done
    ;;
esac
