#!/usr/bin/env bash
# Installs what is missing (as root) and builds the default preset.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ "$(id -u)" = 0 ]; then
  bash scripts/bootstrap.sh
fi
cmake --preset default >/dev/null
cmake --build --preset default -- -j"$(nproc)"
