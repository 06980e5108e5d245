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
# VELMORA_WIN_TEMP=<a Unix folder>: the program's TEMP and TMP (its persistent
# and temporary files) there instead of the prefix's, for a program that must
# start without the files a person or another run left.  Wine takes TEMP from
# the prefix's registry, not from the Unix environment: cmd sets it.
if [ -n "${VELMORA_WIN_TEMP:-}" ]; then
  mkdir -p "$VELMORA_WIN_TEMP"
  wintemp="Z:$(printf %s "$(cd "$VELMORA_WIN_TEMP" && pwd)" | tr / '\\')"
  program="$1"
  shift
  case "$program" in /*) program="Z:$(printf %s "$program" | tr / '\\')" ;; esac
  command=" \"$program\""
  for arg in "$@"; do command+=" \"$arg\""; done
  exec "$VELMORA_WINE" cmd /c "set TEMP=$wintemp&& set TMP=$wintemp&&$command"
fi
exec "$VELMORA_WINE" "$@"
