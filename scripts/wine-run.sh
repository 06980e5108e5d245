#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's environment; the
# program's exit code is this script's.  CMake uses it as the emulator, so
# ctest runs every test through it.  The loader and prefix follow the
# program's own architecture (PE32 or PE32+).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
arch="$(velmora_pe_arch "$1")"
[ -n "$arch" ] && velmora_wine_select "$arch"
if [ "$VELMORA_WINE_ARCH" = 32 ] && ! velmora_can_run_32; then
  echo "wine-run: $1 is a 32-bit program, and this machine cannot execute 32-bit code" >&2
  exit 126
fi
velmora_wine_prefix || exit 125
exec "$VELMORA_WINE" "$@"
