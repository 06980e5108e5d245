#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's environment; the
# program's exit code is this script's.  CMake uses it as the emulator, so
# ctest runs every test through it.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # First use: create the prefix (quietly; takes a while once).
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
exec wine "$@"
