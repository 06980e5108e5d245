#!/usr/bin/env bash
# Packing and unpacking speed and memory: kxpack (under Wine, with one
# persistent wineserver for the whole run) against Info-ZIP zip -9 / unzip on
# the same inputs.  Not run by CI.
#
#   bench/pack/run.sh [SIZE_MB ...]      default: 1 10
#
# Inputs per size: a compressible text corpus and incompressible random data.
# Every measurement is one process under /usr/bin/time -v: CPU seconds
# (user + system), wall seconds and peak resident memory.  kxpack sleeps
# 10 ms after every packed block of 102400 bytes by design; that share of the
# wall time is shown apart (blocks x 10 ms).  The wineserver's own CPU time is
# not included (it is not a child of the measured process).  At the end:
# kxpack's packing CPU as a multiple of zip -9's on the same input, whole and
# without Wine's start-up of kxpack (measured first, on a missing archive).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 10)

source "$root/scripts/wine-env.sh"; velmora_pick_build
kxpack="${KXPACK:-$velmora_build/tools/kxpack.exe}"
if [ ! -f "$kxpack" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target kxpack >/dev/null
fi

source scripts/wine-session.sh
wine_session_start

work="$(mktemp -d /tmp/kxpack-bench.XXXXXX)"
cleanup_bench() { rm -rf "$work"; wine_session_stop; }
trap cleanup_bench EXIT
win() { local p="$1"; echo "Z:${p//\//\\}"; }

# One measured run: prints "cpu wall peak_kb" of the command.
measure() {
  local out="$work/time.txt"
  /usr/bin/time -v -o "$out" "$@" >/dev/null 2>"$work/stderr.txt" || {
    echo "bench: command failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  awk -F': ' '
    /User time/ {u=$2} /System time/ {s=$2}
    /Elapsed \(wall clock\)/ {n=split($2,p,":"); w=0; for(i=1;i<=n;i++) w=w*60+p[i]}
    /Maximum resident/ {m=$2}
    END {printf "%.2f %.2f %d\n", u+s, w, m}' "$out"
}

# Compressible text: words of a fixed vocabulary in seeded random order.
make_text() {
  awk -v bytes="$2" 'BEGIN {
    srand(7); n = split("the of and to in is that for it as was with be by on not he this are or his from at which but have an they you were her she there one all we their has been if more when will would who so no packing archive velmora transfer folder server split part upload download block deflate", w, " ")
    total = 0
    while (total < bytes) {
      line = ""
      for (k = 0; k < 12; k++) line = line w[int(rand() * n) + 1] " "
      line = line int(rand() * 100000)
      print line; total += length(line) + 1
    }
  }' > "$1.tmp"
  head -c "$2" "$1.tmp" > "$1"
  rm -f "$1.tmp"
}

row() { printf '| %-7s | %-6s | %-9s | %-13s | %7s | %7s | %9s | %8s | %10s |\n' "$@"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
ratios=()

read -r bcpu bwall bmem <<<"$(measure bash scripts/wine-run.sh "$kxpack" unpack "$(win "$work/none.zip")" "" "$(win "$work/none")" 0)"
echo "Wine start-up of kxpack (unpacking a missing archive): CPU ${bcpu} s, wall ${bwall} s, peak $((bmem / 1024)) MB"
echo
row "size" "input" "operation" "tool" "CPU s" "wall s" "pauses s" "peak MB" "archive MB"
row "---" "---" "---" "---" "---:" "---:" "---:" "---:" "---:"
for mb in "${sizes[@]}"; do
  bytes=$((mb * 1048576))
  for kind in text random; do
    input="$work/$kind-$mb.dat"
    if [ "$kind" = text ]; then make_text "$input" "$bytes"; else head -c "$bytes" /dev/urandom > "$input"; fi
    blocks=$(( (bytes + 102399) / 102400 ))
    pauses=$(awk -v b="$blocks" 'BEGIN {printf "%.2f", b * 0.010}')

    rm -f "$work/kx.zip" "$work/iz.zip"
    read -r c w m <<<"$(measure bash scripts/wine-run.sh "$kxpack" file "$(win "$work/kx.zip")" "$(win "$input")" 0)"
    row "$mb MB" "$kind" "pack" "kxpack" "$c" "$w" "$pauses" "$((m / 1024))" \
      "$(awk -v s="$(stat -c %s "$work/kx.zip")" 'BEGIN {printf "%.2f", s / 1048576}')"
    kx_cpu="$c"
    read -r c w m <<<"$(measure zip -9 -q -j "$work/iz.zip" "$input")"
    row "$mb MB" "$kind" "pack" "zip -9" "$c" "$w" "-" "$((m / 1024))" \
      "$(awk -v s="$(stat -c %s "$work/iz.zip")" 'BEGIN {printf "%.2f", s / 1048576}')"
    ratios+=("$(printf '| %-7s | %-6s | %13s | %17s |' "$mb MB" "$kind" "$(ratio "$kx_cpu" "$c")" \
      "$(ratio "$(awk -v a="$kx_cpu" -v b="$bcpu" 'BEGIN { print (a > b ? a - b : 0) }')" "$c")")")

    # Both unpack the archive kxpack wrote.
    rm -rf "$work/out-kx" "$work/out-iz"
    read -r c w m <<<"$(measure bash scripts/wine-run.sh "$kxpack" unpack "$(win "$work/kx.zip")" "" "$(win "$work/out-kx")" 0)"
    row "$mb MB" "$kind" "unpack" "kxpack" "$c" "$w" "-" "$((m / 1024))" "-"
    cmp -s "$input" "$work/out-kx/$(basename "$input")" || { echo "bench: kxpack unpacked wrong data" >&2; exit 1; }
    read -r c w m <<<"$(measure unzip -q -o "$work/kx.zip" -d "$work/out-iz")"
    row "$mb MB" "$kind" "unpack" "unzip" "$c" "$w" "-" "$((m / 1024))" "-"
    cmp -s "$input" "$work/out-iz/$(basename "$input")" || { echo "bench: unzip unpacked wrong data" >&2; exit 1; }
    rm -rf "$input" "$work/out-kx" "$work/out-iz"
  done
done

# The line that matters for packing: kxpack's CPU as a multiple of zip -9's on
# the same input in this run, whole and without Wine's start-up (above).
echo
echo "Packing CPU, kxpack / zip -9:"
echo
printf '| %-7s | %-6s | %13s | %17s |\n' "size" "input" "whole" "without start-up"
printf '| %-7s | %-6s | %13s | %17s |\n' "---" "---" "---:" "---:"
printf '%s\n' "${ratios[@]}"
