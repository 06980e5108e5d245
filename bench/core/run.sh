#!/usr/bin/env bash
# Per-call cost of the runtime core's hot paths (object lookups, line and
# procedure hooks, a reported check, a thread start) under Wine.  Not run by CI.
#
#   bench/core/run.sh [ROUNDS]      default 2000000
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
source "$root/scripts/wine-env.sh"; velmora_pick_build
bench="${KXCOREBENCH:-$velmora_build/tools/kxcorebench.exe}"
if [ ! -f "$bench" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target kxcorebench >/dev/null
fi
source scripts/wine-session.sh
wine_session_start
trap wine_session_stop EXIT
bash scripts/wine-run.sh "$bench" "${1:-2000000}"
