#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine.
#   scripts/test.sh                 all tests
#   scripts/test.sh -L core         one label (any ctest arguments)
#   scripts/test.sh -R files_pack   tests by name
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/build.sh

source scripts/wine-session.sh
wine_session_start
status=0
ctest --preset default -j2 "$@" || status=$?
wine_session_stop
exit $status
