#!/usr/bin/env bash
# Splits and joins archives of the given sizes in MB (default 50 400) and
# prints the time and the process's peak private memory for each; the peak
# must stay the same whatever the size.
#   VELMORA_WINEPREFIX=... bash bench/split/run.sh [megabytes ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
source scripts/wine-session.sh
velmora_pick_build
preset=default; [ "$velmora_arch" = 64 ] && preset=x64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target split_bench
wine_session_start
"$VELMORA_WINE" "$velmora_build/bench/split/split_bench.exe" "$@"
