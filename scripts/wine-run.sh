#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's environment; the
# program's exit code is this script's.  CMake uses it as the emulator, so
# ctest runs every test through it.  The loader and prefix follow the
# program's own architecture (PE32 or PE32+).
#   wine-run.sh [--say-exit] PROGRAM [ARGUMENTS]
# --say-exit: a non-zero exit code is also written to standard error, in one
# line (CTest's runs: a program that dies before printing anything).
say_exit=0
if [ "${1:-}" = --say-exit ]; then say_exit=1; shift; fi
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
# start without the files a person or another run left.  The build's kxstart
# sets them (Wine takes TEMP from the prefix's registry, not from Unix).
if [ -n "${VELMORA_WIN_TEMP:-}" ]; then
  mkdir -p "$VELMORA_WIN_TEMP"
  starter="$(cd "$(dirname "$1")/.." && pwd)/tools/kxstart.exe"
  if [ ! -f "$starter" ]; then
    echo "wine-run: $starter is missing (build the tools)" >&2
    exit 125
  fi
  winpath() { printf 'Z:%s' "$(printf %s "$1" | tr / '\\')"; }
  exec "$VELMORA_WINE" "$starter" "$(winpath "$(cd "$VELMORA_WIN_TEMP" && pwd)")" "$@"
fi
[ "$say_exit" = 1 ] || exec "$VELMORA_WINE" "$@"
status=0
"$VELMORA_WINE" "$@" || status=$?
[ "$status" = 0 ] || echo "wine-run: $(basename "$1") ended with exit code $status" >&2
exit "$status"
