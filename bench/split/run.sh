#!/usr/bin/env bash
# Splits and joins archives of the given sizes in MB (default 50 400) and
# prints the time and the process's peak private memory for each; the peak
# must stay the same whatever the size.
#   VELMORA_WINEPREFIX=... bash bench/split/run.sh [megabytes ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target split_bench
source scripts/wine-session.sh
wine_session_start
wine build/bench/split/split_bench.exe "$@"
