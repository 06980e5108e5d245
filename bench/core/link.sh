#!/usr/bin/env bash
# The debugger link's costs under Wine: the line hook per executed line with
# the link on and the program running, and the round trip of a one-line step
# (request, line, stop message).  Not run by CI.
#
#   bench/core/link.sh [STEPS]      default 500
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
source "$root/scripts/wine-env.sh"; velmora_pick_build
tools="$velmora_build/tools"
probe="$velmora_build/tests/kxlinkprobe.exe"
if [ ! -f "$probe" ] || [ ! -f "$tools/kxdebug.exe" ]; then
  cmake --build "$velmora_build" --target kxlinkprobe kxdebug -- -j2 >/dev/null
fi
source scripts/wine-session.sh
wine_session_start
trap wine_session_stop EXIT
script="$(mktemp)"
trap 'rm -f "$script"; wine_session_stop' EXIT
printf 'run\n' >"$script"
bash scripts/wine-run.sh "$tools/kxdebug.exe" -q -s "$script" "$probe" bench | grep 'link on'
printf 'run\nwait\nstepbench %s\nkill\n' "${1:-500}" >"$script"
bash scripts/wine-run.sh "$tools/kxdebug.exe" -q -b -s "$script" "$probe" loop | grep 'round trip' || true
