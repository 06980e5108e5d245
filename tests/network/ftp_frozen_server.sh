#!/usr/bin/env bash
# A real FTP server (pyftpdlib) frozen with SIGSTOP in the middle of an
# upload by kxftp.  The upload must fail once its data connection has taken
# no bytes for the data time-out (60 s): the progress turns -2 then, and
# kxftp ends after the wait for the server's final reply (the control
# time-out, 30 s) that a frozen server never sends.  Each bound gets a
# margin for Wine and a busy machine.
#   ftp_frozen_server.sh passive|active PATH/TO/kxftp.exe STATE_FOLDER
set -euo pipefail
mode="$1"
kxftp="$2"
state="$3"
source_dir="${VELMORA_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
run="$source_dir/scripts/wine-run.sh"
data_timeout=60
control_timeout=30
margin=15

win() { local p="$1"; echo "Z:${p//\//\\}"; }
now() { date +%s.%N; }
seconds_between() { echo "$1 $2" | awk '{ printf "%.1f", $2 - $1 }'; }

rm -rf "$state"
mkdir -p "$state/root" "$state/local"
server_pid=""
client_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill -CONT "$server_pid" 2>/dev/null || true
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "$client_pid" ] && kill -0 "$client_pid" 2>/dev/null; then
    kill "$client_pid" 2>/dev/null || true
    wait "$client_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# Slowed to 256 KB/s, so that the upload is surely still running when the
# server is frozen.
/usr/bin/python3 "$source_dir/scripts/ftp_server.py" --root "$state/root" --port-file "$state/port" \
  --user velmora --password secret --read-limit 262144 --log "$state/server.log" \
  </dev/null >"$state/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$state/port" ] && break; sleep 0.1; done
[ -s "$state/port" ] || { echo "FAIL: the FTP server did not start" >&2; cat "$state/server.out" >&2; exit 1; }
port="$(cat "$state/port")"

head -c $((16 << 20)) /dev/urandom >"$state/local/big.bin"
flag=""
[ "$mode" = active ] && flag="--active"
bash "$run" "$kxftp" 127.0.0.1 "$port" velmora secret $flag --progress \
  put "$(win "$state/local/big.bin")" frozen.bin </dev/null >"$state/kxftp.out" 2>&1 &
client_pid=$!

# Frozen once the first 256 KB have arrived.
remote="$state/root/frozen.bin"
for _ in $(seq 600); do
  size=$(stat -c %s "$remote" 2>/dev/null || echo 0)
  [ "$size" -ge 262144 ] && break
  kill -0 "$client_pid" 2>/dev/null || break
  sleep 0.1
done
size=$(stat -c %s "$remote" 2>/dev/null || echo 0)
if [ "$size" -lt 262144 ]; then
  echo "FAIL: the upload did not get going ($size bytes arrived)" >&2
  cat "$state/kxftp.out" >&2
  exit 1
fi
kill -STOP "$server_pid"
frozen=$(now)
echo "server frozen with $size bytes arrived"

failed_at=""
limit=$((data_timeout + control_timeout + 2 * margin))
while kill -0 "$client_pid" 2>/dev/null; do
  if [ -z "$failed_at" ] && grep -q "progress -2" "$state/kxftp.out"; then failed_at=$(now); fi
  if [ "$(seconds_between "$frozen" "$(now)" | cut -d. -f1)" -gt "$limit" ]; then
    echo "FAIL: kxftp still running $limit s after the freeze" >&2
    cat "$state/kxftp.out" >&2
    exit 1
  fi
  sleep 0.2
done
status=0
wait "$client_pid" || status=$?
client_pid=""
ended=$(now)
[ -n "$failed_at" ] || { grep -q "progress -2" "$state/kxftp.out" && failed_at=$ended; }

tr -d '\r' <"$state/kxftp.out"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
[ "$status" = 1 ] || fail "kxftp exit code $status, expected 1"
grep -q "frozen.bin: failed (progress -2)" "$state/kxftp.out" || fail "the put was not reported as failed"
if [ -z "$failed_at" ]; then
  fail "the progress never turned -2"
else
  to_failure=$(seconds_between "$frozen" "$failed_at")
  echo "progress -2 after $to_failure s, kxftp ended after $(seconds_between "$frozen" "$ended") s"
  awk -v t="$to_failure" -v lo=$((data_timeout - 5)) -v hi=$((data_timeout + margin)) \
    'BEGIN { exit !(t >= lo && t <= hi) }' || fail "the upload failed after $to_failure s, not after the data time-out"
fi
awk -v t="$(seconds_between "$frozen" "$ended")" -v hi=$((data_timeout + control_timeout + margin)) \
  'BEGIN { exit !(t <= hi) }' || fail "kxftp ended later than the data and control time-outs allow"
[ "$failures" = 0 ]
