#!/usr/bin/env bash
# Installs what is missing, builds, and runs Velmora against a local server:
# a real FTP server (pyftpdlib) and a real web server (nginx) serving the same
# folder on 127.0.0.1, with the "SPLIT" folder a transfer needs.
#
# The program opens in a real window on the caller's display (DISPLAY, e.g.
# ":0" of the desktop); without one it runs on the session's virtual display.
# Its access file is prepared for the local servers, so "Senden" needs no
# set-up; close the window ("Wirklich Beenden", Yes) to end the demo.  Where
# no program is built, the demo walks one transfer through the runtime's own
# drivers instead: pack a folder, upload the archive by FTP into SPLIT/1,
# fetch it back over HTTP, unpack and compare.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/build.sh

work="$(mktemp -d /tmp/velmora-demo.XXXXXX)"
serve="$work/server"
mkdir -p "$serve/SPLIT"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
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
ftp_port="$(cat "$work/ftp.port")"
http_port="$(cat "$work/http.port")"
echo "demo: FTP  on 127.0.0.1:$ftp_port (user velmora, password velmora)"
echo "demo: HTTP on http://127.0.0.1:$http_port/  (both serve $serve)"

# The build this machine can execute, the 32-bit product where it can.
caller_display="${DISPLAY:-}"
source scripts/wine-session.sh
if velmora_can_run_32; then bdir=build arch=32; else bdir=build-x64 arch=64; fi
echo "demo: running the $arch-bit build ($bdir)"
wine_session_start "$arch"
# The session's own trap replaced ours: stop Wine and the servers alike.
trap 'wine_session_stop; cleanup' EXIT
trap 'wine_session_stop; cleanup; exit 130' INT TERM HUP
run() { scripts/wine-run.sh "$@"; }

program=$bdir/app/Velmora.exe
if [ -f "$program" ]; then
  # The access file in the persistent folder of the prefix's temporary folder.
  temp="$("$VELMORA_WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')"   # C:\users\...\Temp
  temp="$WINEPREFIX/drive_c/$(printf %s "${temp#?:\\}" | tr '\\' /)"
  mkdir -p "$temp/Velmora"
  b64() { printf %s "$1" | base64 -w0; printf '\r\n'; }
  { b64 127.0.0.1; b64 "127.0.0.1:$http_port"; b64 velmora; b64 velmora; } >"$temp/Velmora/Hash.txt"
  echo "demo: access data for the local servers in $temp/Velmora/Hash.txt"
  if [ -n "$caller_display" ]; then
    echo "demo: Velmora opens on display $caller_display"
    DISPLAY="$caller_display" run "$program" || true
  else
    echo "demo: no DISPLAY: Velmora runs on the virtual display $DISPLAY (end it with Ctrl-C)"
    run "$program" || true
  fi
  exit 0
fi

echo "demo: the Velmora window program is not built yet; one transfer through the runtime's drivers:"
send="$work/send/Urlaub"
mkdir -p "$send/Bilder"
printf 'Hallo aus Velmora.\r\n' >"$send/Liesmich.txt"
head -c 1500000 /dev/urandom >"$send/Bilder/foto.bin"
w() { echo "Z:${1//\//\\}"; }

run $bdir/tools/kxpack.exe folder "$(w "$work/Urlaub.zip")" "$(w "$send")\\*.*" 2 1 | tail -1 | sed 's/^/  packed: /'
run $bdir/tools/kxftp.exe 127.0.0.1 "$ftp_port" velmora velmora \
  cd SPLIT mkdir 1 cd 1 put "$(w "$work/Urlaub.zip")" 1.quon | sed 's/^/  ftp: /'
run $bdir/tools/kxhttp.exe get "http://127.0.0.1:$http_port/SPLIT/1/1.quon" "$(w "$work/received.zip")" \
  | sed 's/^/  http get (1 = ok): /'
mkdir -p "$work/receive"
run $bdir/tools/kxpack.exe unpack "$(w "$work/received.zip")" "*.*" "$(w "$work/receive")\\" 1 | tail -1 \
  | sed 's/^/  unpacked entries: /'
wine_session_stop

if diff -r "$send" "$work/receive" >/dev/null 2>&1; then
  echo "demo: the received folder equals the sent one."
else
  echo "demo: the received folder differs from the sent one:" >&2
  ls -R "$work/receive" >&2
fi
echo "demo: the Velmora window program itself is not part of this build yet." >&2
exit 1
