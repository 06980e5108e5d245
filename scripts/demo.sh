#!/usr/bin/env bash
# Installs what is missing, builds, and runs Velmora against a local server:
# a real FTP server (pyftpdlib) and a real web server (nginx) serving the same
# folder on 127.0.0.1, with the "SPLIT" folder a transfer needs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/build.sh

program=build/app/velmora.exe
if [ ! -f "$program" ]; then
  echo "demo: the Velmora program itself is not built yet (only the runtime and its tools are)." >&2
  echo "demo: run the tests instead: bash scripts/test.sh" >&2
  exit 1
fi

work="$(mktemp -d /tmp/velmora-demo.XXXXXX)"
serve="$work/server"
mkdir -p "$serve/SPLIT"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

/usr/bin/python3 scripts/ftp_server.py --root "$serve" --port-file "$work/ftp.port" \
  --user velmora --password velmora >"$work/ftp.log" 2>&1 &
pids+=($!)
bash scripts/web_server.sh "$serve" "$work/http.port" >"$work/http.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/ftp.port" ] && [ -s "$work/http.port" ] && break
  sleep 0.1
done
echo "demo: FTP on 127.0.0.1:$(cat "$work/ftp.port") (user velmora, password velmora)"
echo "demo: HTTP on http://127.0.0.1:$(cat "$work/http.port")/  serving $serve"

source scripts/wine-session.sh
wine_session_start
VELMORA_FTP_PORT="$(cat "$work/ftp.port")" VELMORA_HTTP_PORT="$(cat "$work/http.port")" \
  wine "$program" || true
wine_session_stop
