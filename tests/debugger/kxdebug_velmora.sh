#!/usr/bin/env bash
# The real program under the link's front-end: kxdebug starts Velmora with
# the link's environment, lets it run into its event loop, stops it, reads
# its globals and structure through the symbol tables, the call stack and the
# window list, lets it run on and ends it through the kill mutex.
#
#   kxdebug_velmora.sh KXDEBUG.exe VELMORA.exe TRANSCRIPT_DIR
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
kxdebug="$1"
program="$2"
transcripts="$3"
mkdir -p "$transcripts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

cat >"$work/script" <<'SCRIPT'
run
sleep 3000
stop
wait
eval Zugang
eval PacketGrose*2
eval Connect\port
eval Version\Titel
where
libs
rows 1
run
sleep 500
kill
SCRIPT
out="$transcripts/kxdebug_velmora.txt"
# A start without access data: the program's temporary folder is the test's.
VELMORA_WIN_TEMP="$work/temp" bash "$root/scripts/wine-run.sh" "$kxdebug" -t 60 -s "$(windows "$work/script")" "$(windows "$program")" \
  </dev/null 2>&1 | tr -d '\r' >"$out"

failures=0
has() { grep -qF -- "$1" "$out" || { echo "FAIL: did not see: $1"; failures=$((failures + 1)); }; }
has "[start]"
has "[stop]"
has "[eval] kind 2: 0"
has "[eval] kind 2: 2000000"
has "[eval] kind 2: 21"
has "KX_LIBRARY_Window"
has "[eval] kind 4: \"Velmora v 1.0 Release\""
has "Velmora v 1.0 Release"
grep -qx -- "\[exit\] 1" "$out" || { echo "FAIL: the kill mutex did not end the program with code 1"; failures=$((failures + 1)); }
grep -qF -- "[error]" "$out" && { echo "FAIL: an error was reported"; failures=$((failures + 1)); }
echo "kxdebug_velmora: $failures failures; transcript in $out"
[ "$failures" = 0 ]
