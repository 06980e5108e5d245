#!/usr/bin/env bash
# kxhttp against curl: both fetch the same file from the same local nginx.
#   bench/http/run.sh [SIZE_MB] [RUNS]     (default 100 MB, 3 runs each)
# Prints seconds, MB/s and peak resident memory (KB) of every run.  kxhttp
# runs under Wine, so its figures include Wine's own start (measured once
# with an empty download and shown as "wine start").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
size_mb="${1:-100}"
runs="${2:-3}"

cmake --preset default >/dev/null
cmake --build --preset default --target kxhttp >/dev/null
source "$root/scripts/wine-env.sh"; velmora_pick_build
tool="$velmora_build/tools/kxhttp.exe"

work="$(mktemp -d /tmp/velmora-bench-http.XXXXXX)"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root"
head -c "$((size_mb * 1000000))" /dev/urandom >"$work/root/big.bin"
: >"$work/root/empty.bin"
bash scripts/web_server.sh "$work/root" "$work/port" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port="$(cat "$work/port")"
url="http://127.0.0.1:$port/big.bin"

source scripts/wine-session.sh
wine_session_start

# seconds and peak KB of one command, as "SECONDS KB"
measure() {
  local start end
  start="$(date +%s.%N)"
  /usr/bin/time -f "%M" -o "$work/time.txt" "$@" >/dev/null
  end="$(date +%s.%N)"
  echo "$(echo "$end - $start" | bc -l) $(tail -1 "$work/time.txt")"
}

report() {  # NAME SECONDS KB
  printf '%-14s %8.2f s %9.1f MB/s %9d KB peak\n' "$1" "$2" "$(echo "$size_mb / $2" | bc -l)" "$3"
}

read -r wine_s wine_kb < <(measure "$VELMORA_WINE" "$tool" get "http://127.0.0.1:$port/empty.bin" "$work/empty.out")
printf '%-14s %8.2f s %24s %9d KB peak\n' "wine start" "$wine_s" "" "$wine_kb"
for run in $(seq "$runs"); do
  rm -f "$work/out.kx" "$work/out.curl"
  read -r s kb < <(measure "$VELMORA_WINE" "$tool" get "$url" "$work/out.kx")
  cmp -s "$work/out.kx" "$work/root/big.bin" || { echo "bench: kxhttp's copy differs" >&2; exit 1; }
  report "kxhttp #$run" "$s" "$kb"
  read -r s kb < <(measure curl -s -o "$work/out.curl" "$url")
  cmp -s "$work/out.curl" "$work/root/big.bin" || { echo "bench: curl's copy differs" >&2; exit 1; }
  report "curl #$run" "$s" "$kb"
done
