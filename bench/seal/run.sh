#!/usr/bin/env bash
# Seals and opens archives of the given sizes in MB (default 100 400) beside a
# plain copy of the same file, and prints the times and the process's peak
# private memory (which must stay the same whatever the size).
#   bash bench/seal/run.sh [megabytes ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
source scripts/wine-session.sh
velmora_pick_build
preset=default; [ "$velmora_arch" = 64 ] && preset=x64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target seal_bench -- -j2
wine_session_start
"$VELMORA_WINE" "$velmora_build/bench/seal/seal_bench.exe" "$@"
