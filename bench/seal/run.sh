#!/usr/bin/env bash
# Seals and opens archives of the given sizes in MB (default 100 400) beside a
# plain copy of the same file, and prints the times and the process's peak
# private memory (which must stay the same whatever the size).
#   bash bench/seal/run.sh [megabytes ...]
exec bash "$(dirname "${BASH_SOURCE[0]}")/../messung/run.sh" seal_bench seal "$@"
