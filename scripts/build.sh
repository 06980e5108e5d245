#!/usr/bin/env bash
# Installs what is missing (as root) and builds.
#   scripts/build.sh            both builds: x64 (tests) and default (32-bit product)
#   scripts/build.sh x64        named presets only
# VELMORA_BUILDS="x64" (or "default x64") chooses the presets when none are named.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ "$(id -u)" = 0 ] && [ -z "${VELMORA_SKIP_BOOTSTRAP:-}" ]; then
  bash scripts/bootstrap.sh
fi
presets=("$@")
[ ${#presets[@]} -gt 0 ] || read -r -a presets <<<"${VELMORA_BUILDS:-x64 default}"
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -- -j"${VELMORA_BUILD_JOBS:-$(nproc)}"
done
