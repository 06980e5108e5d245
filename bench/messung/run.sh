#!/usr/bin/env bash
# Builds one benchmark program of the build tree and runs it under Wine:
#   bash bench/messung/run.sh <target> <folder under bench/> [arguments ...]
# (bench/<folder>/run.sh says what the program measures.)
set -euo pipefail
target="$1" folder="$2"
shift 2
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
source scripts/wine-session.sh
velmora_pick_build
preset=default; [ "$velmora_arch" = 64 ] && preset=x64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target "$target" -- -j2
wine_session_start
"$VELMORA_WINE" "$velmora_build/bench/$folder/$target.exe" "$@"
