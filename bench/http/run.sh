#!/usr/bin/env bash
# kxhttp against curl: both fetch the same file from the same local nginx, once
# with a length-framed body and once chunked, and kxhttp's time is shown as a
# multiple of curl's in the same run.  Then kxhttp's peak memory for a 10 MB
# and a 200 MB body, which must be the same: the body is streamed to the file.
#   bench/http/run.sh [SIZE_MB] [RUNS]     (default 100 MB, 1 run)
# kxhttp runs under Wine, so its figures include Wine's own start (measured
# once with an empty download, "wine start"); the ratio is shown whole and
# without that start.  Not run by CI.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
size_mb="${1:-100}"
runs="${2:-1}"

source "$root/scripts/wine-env.sh"; velmora_pick_build
preset=default; [ "$velmora_arch" = 64 ] && preset=x64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target kxhttp >/dev/null
tool="$velmora_build/tools/kxhttp.exe"

work="$(mktemp -d /tmp/velmora-bench-http.XXXXXX)"
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root" "$work/nginx/temp"
head -c "$((size_mb * 1000000))" /dev/urandom >"$work/root/big.bin"
head -c 10000000 /dev/urandom >"$work/root/m10.bin"
head -c 200000000 /dev/urandom >"$work/root/m200.bin"
: >"$work/root/empty.bin"
printf 'chunked?\n' >"$work/root/probe.txt"

# nginx on loopback: /NAME with its length, /chunked/NAME the same file
# chunked (the include filter drops the length; the bytes pass unchanged
# unless they hold an include command, which the comparison would show).
port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
user_line=""
if [ "$(id -u)" = 0 ]; then user_line="user $(id -un) $(id -gn);"; fi
cat >"$work/nginx/nginx.conf" <<EOF
$user_line
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/nginx/temp/body;
  proxy_temp_path $work/nginx/temp/proxy;
  fastcgi_temp_path $work/nginx/temp/fastcgi;
  uwsgi_temp_path $work/nginx/temp/uwsgi;
  scgi_temp_path $work/nginx/temp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $work/root;
    location /chunked/ { alias $work/root/; ssi on; ssi_types *; }
  }
}
EOF
nginx -e "$work/nginx/error.log" -p "$work/nginx" -c "$work/nginx/nginx.conf" </dev/null &
nginx_pid=$!
for _ in $(seq 100); do
  /usr/bin/python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1",int(sys.argv[1])),1).close()' \
    "$port" 2>/dev/null && break
  sleep 0.1
done
base="http://127.0.0.1:$port"
curl -s -D - -o /dev/null "$base/chunked/probe.txt" | grep -qi '^transfer-encoding: chunked' ||
  { echo "bench: nginx does not send chunked bodies" >&2; exit 1; }

source scripts/wine-session.sh
wine_session_start "$velmora_arch"
trap 'wine_session_stop; cleanup' EXIT

# seconds and peak KB of one command, as "SECONDS KB"
measure() {
  local start end
  start="$(date +%s.%N)"
  /usr/bin/time -f "%M" -o "$work/time.txt" "$@" >/dev/null
  end="$(date +%s.%N)"
  echo "$(echo "$end - $start" | bc -l) $(tail -1 "$work/time.txt")"
}

report() {  # NAME SECONDS KB
  printf '%-22s %8.2f s %9.1f MB/s %9d KB peak\n' "$1" "$2" "$(echo "$size_mb / $2" | bc -l)" "$3"
}

# kxhttp and curl on one address; prints both and leaves the ratios in
# ratio_whole and ratio_net.
pair() {  # LABEL URL
  local kx_s kx_kb curl_s curl_kb
  rm -f "$work/out.kx" "$work/out.curl"
  read -r kx_s kx_kb < <(measure "$VELMORA_WINE" "$tool" get "$2" "$work/out.kx")
  cmp -s "$work/out.kx" "$work/root/big.bin" || { echo "bench: kxhttp's copy ($1) differs" >&2; exit 1; }
  report "kxhttp $1" "$kx_s" "$kx_kb"
  read -r curl_s curl_kb < <(measure curl -s -o "$work/out.curl" "$2")
  cmp -s "$work/out.curl" "$work/root/big.bin" || { echo "bench: curl's copy ($1) differs" >&2; exit 1; }
  report "curl $1" "$curl_s" "$curl_kb"
  ratio_whole="$(echo "$kx_s / $curl_s" | bc -l)"
  ratio_net="$(echo "n = $kx_s - $wine_s; if (n < 0) n = 0; n / $curl_s" | bc -l)"
}

read -r wine_s wine_kb < <(measure "$VELMORA_WINE" "$tool" get "$base/empty.bin" "$work/empty.out")
printf '%-22s %8.2f s %24s %9d KB peak\n' "wine start" "$wine_s" "" "$wine_kb"
lines=()
for run in $(seq "$runs"); do
  pair "plain #$run" "$base/big.bin"
  lines+=("$(printf '%-10s #%-3s %8.1f x %8.1f x' plain "$run" "$ratio_whole" "$ratio_net")")
  pair "chunked #$run" "$base/chunked/big.bin"
  lines+=("$(printf '%-10s #%-3s %8.1f x %8.1f x' chunked "$run" "$ratio_whole" "$ratio_net")")
done

# Memory: the same download of 10 MB and of 200 MB.
peaks=()
for name in m10 m200; do
  rm -f "$work/out.kx"
  read -r s kb < <(measure "$VELMORA_WINE" "$tool" get "$base/$name.bin" "$work/out.kx")
  cmp -s "$work/out.kx" "$work/root/$name.bin" || { echo "bench: kxhttp's copy of $name differs" >&2; exit 1; }
  peaks+=("$kb")
done

echo
echo "kxhttp's time for ${size_mb} MB as a multiple of curl's (same run):"
printf '%-15s %10s %10s\n' "body" "whole" "no start"
printf '%s\n' "${lines[@]}"
echo
printf 'kxhttp peak memory: %d KB for 10 MB, %d KB for 200 MB (%+d KB)\n' \
  "${peaks[0]}" "${peaks[1]}" "$((peaks[1] - peaks[0]))"
