#!/usr/bin/env bash
# Installs what is missing, builds, and runs Velmora against a local transfer
# server: a real FTP server (pyftpdlib) on 127.0.0.1 port 21 and a real web
# server (nginx) on a free port, both serving the same folder with the
# "SPLIT" folder a transfer needs.  The program's access file is written for
# them, so "Senden" needs no set-up.
#
# With a display (DISPLAY set, e.g. ":0" of the desktop) Velmora opens there
# for the person to use; the servers stop when the program ends.
#
# Without one (a headless machine) the demo is a scripted send and receive
# through the program's real windows on a virtual display, driven from
# outside with kxprobe: a folder is chosen, sent, its code read from the code
# window, typed on the tab "Empfangen", received into a new folder; the
# program is then closed.  Screenshots go to <build>/screenshots/demo-*.bmp.
# Exit code 0 only when the received files equal the sent ones.
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

# The program always logs in on port 21.
/usr/bin/python3 scripts/ftp_server.py --address 127.0.0.1 --port 21 --root "$serve" \
  --port-file "$work/ftp.port" --user velmora --password velmora >"$work/ftp.log" 2>&1 &
pids+=($!)
bash scripts/web_server.sh "$serve" "$work/http.port" >"$work/http.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/ftp.port" ] && [ -s "$work/http.port" ] && break
  sleep 0.1
done
if [ ! -s "$work/ftp.port" ]; then
  echo "demo: the FTP server did not start on 127.0.0.1:21:" >&2
  cat "$work/ftp.log" >&2
  exit 1
fi
http_port="$(cat "$work/http.port")"
echo "demo: FTP  on 127.0.0.1:21 (user velmora, password velmora)"
echo "demo: HTTP on http://127.0.0.1:$http_port/  (both serve $serve)"

# The build this machine can execute, the 32-bit product where it can and
# where it was built (VELMORA_BUILDS=x64 builds and runs the 64-bit one only).
caller_display="${DISPLAY:-}"
# The demo's own Wine prefixes (.wine-demo64, .wine-demo32): its access file
# and resume records stay where no test looks.
export VELMORA_WINEPREFIX="$root/.wine-demo"
source scripts/wine-session.sh
if velmora_can_run_32 && [[ " ${VELMORA_BUILDS:-x64 default} " == *" default "* ]]; then
  bdir=build arch=32
else
  bdir=build-x64 arch=64
fi
echo "demo: running the $arch-bit build ($bdir)"
wine_session_start "$arch"
# The session's own trap replaced ours: stop Wine and the servers alike.
trap 'wine_session_stop; cleanup' EXIT
trap 'wine_session_stop; cleanup; exit 130' INT TERM HUP
run() { scripts/wine-run.sh "$@"; }
program=$bdir/app/Velmora.exe
probe_tool=$bdir/tools/kxprobe.exe

# The access file in the persistent folder of the prefix's temporary folder.
temp="$("$VELMORA_WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')"   # C:\users\...\Temp
temp="$WINEPREFIX/drive_c/$(printf %s "${temp#?:\\}" | tr '\\' /)"
mkdir -p "$temp/Velmora"
rm -f "$temp/Velmora/Infos.txt"   # no upload of an earlier demo to resume
b64() { printf %s "$1" | base64 -w0; printf '\r\n'; }
{ b64 127.0.0.1; b64 "127.0.0.1:$http_port"; b64 velmora; b64 velmora; } >"$temp/Velmora/Hash.txt"
echo "demo: access data for the local servers in $temp/Velmora/Hash.txt"

if [ -n "$caller_display" ]; then
  echo "demo: Velmora opens on display $caller_display; close it to end the demo"
  DISPLAY="$caller_display" run "$program" || true
  exit 0
fi

# ---- headless: a scripted send and receive through the windows ----------------
shots="$root/$bdir/screenshots"
mkdir -p "$shots"
velmora_shot_prefix=demo-
source scripts/velmora-drive.sh
fail() {
  echo "demo: $*" >&2
  velmora_shot "$velmora_title" demo-failed
  exit 1
}

send="$work/send/Urlaub"
mkdir -p "$send/Unterordner" "$work/receive"
printf 'Hallo aus Velmora.\r\n' >"$send/Liesmich.txt"
head -c 2500000 /dev/urandom >"$send/foto.bin"
printf 'bleibt daheim\r\n' >"$send/Unterordner/nicht.txt"   # only the folder's own files are sent

echo "demo: no DISPLAY: scripted send and receive on the virtual display $DISPLAY"
# No window manager on the virtual display: Wine must not wait for one when a
# window goes away.
run reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1 || true
run "$program" &
program_pid=$!
code="$(velmora_send "$send" folder)" || fail "sending did not get to the code window"
echo "demo: sent $send; the code is $code"
answer="$(velmora_receive "$code" "$work/receive/Urlaub")" || fail "receiving did not end with a message"
echo "demo: message after receiving: $answer"
velmora_close "$program_pid"

status=0
[ "$answer" = "Download abgeschlossen|Der Download wurde erfolgreich abgeschlossen!!!" ] || status=1
for f in Liesmich.txt foto.bin; do
  if cmp -s "$send/$f" "$work/receive/Urlaub/$f"; then
    echo "demo: $f arrived byte for byte"
  else
    echo "demo: $f differs or is missing" >&2
    status=1
  fi
done
if [ -e "$work/receive/Urlaub/nicht.txt" ] || [ -e "$work/receive/Urlaub.zip" ]; then
  echo "demo: the receive folder holds more than was sent" >&2
  status=1
fi
if [ "$status" = 0 ]; then
  echo "demo: the received files equal the sent ones (screenshots in $shots)"
else
  echo "demo: the transfer failed (screenshots in $shots)" >&2
fi
exit $status
