#!/usr/bin/env bash
# Splits and joins archives of the given sizes in MB (default 50 400) and
# prints the time and the process's peak private memory for each; the peak
# must stay the same whatever the size.
#   VELMORA_WINEPREFIX=... bash bench/split/run.sh [megabytes ...]
exec bash "$(dirname "${BASH_SOURCE[0]}")/../messung/run.sh" split_bench split "$@"
