#!/usr/bin/env bash
# Test fixture of the download test: download_test_web.py on a free port of
# 127.0.0.1, serving the transfer fixture's root.
#   download_test_web.sh start STATE ROOT
#   download_test_web.sh stop STATE
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
source "$source_dir/scripts/own-process.sh"
state="$2"
if [ "$1" = stop ]; then
  stop_own_process "$state/web.pid" "$state"
  rm -rf "$state"
  exit 0
fi
rm -rf "$state"
mkdir -p "$state"
setsid /usr/bin/python3 "$here/download_test_web.py" --root "$3" --state "$state" \
  </dev/null >"$state/web.out" 2>&1 &
echo $! >"$state/web.pid"
wait_for_start "$state/web.port" "$state/web.out" "download_test_web.py"
