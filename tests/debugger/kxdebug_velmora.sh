#!/usr/bin/env bash
# The real program under the link's front-end: kxdebug starts Velmora with
# the link's environment and lets it run into its event loop (a breakpoint
# there tells when it has arrived).  Stopped there it reads the program's
# globals, structure fields and constants through the symbol tables, the
# call stack and the window list.  Each session ends with the kill mutex,
# which must end the program with code 1 within a second however it was
# stopped: at the breakpoint, by a stop request (with a stop at the end
# asked for, which a kill must not make), or not at all.
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
failures=0
fail() { echo "FAIL [$session]: $*"; failures=$((failures + 1)); }

# The event loop's wait for the next event, as "line,file" (file indexes:
# main.cpp first, then the other sources sorted, as the build numbers them).
loop_line="$(grep -n 'EventID = kx::WaitWindowEvent' "$root/app/ereignisse.cpp" | cut -d: -f1)"
loop_file="$(cd "$root/app" && ls -- *.cpp | grep -vx main.cpp | LC_ALL=C sort | grep -nx ereignisse.cpp | cut -d: -f1)"
loop="$loop_line,$loop_file"

# run_session NAME OPTIONS: runs kxdebug with the commands on standard input.
# The transcript is read up to kxdebug's "[exit]" line: Wine's desktop
# process, started by the program when none runs, inherits the pipe and
# would hold it open.  A program that starts while Wine's desktop process
# is starting or ending cannot open its window and ends at once (with code
# 0) instead of reaching its event loop; such a start is tried again (at
# most four times), everything else counts.
session=""
out=""
run_session() {
  session="$1"
  out="$transcripts/kxdebug_velmora_$session.txt"
  cat >"$work/script"
  local attempt
  for attempt in 1 2 3 4; do
    # A start without access data: the program's temporary folder is the test's.
    # shellcheck disable=SC2086
    VELMORA_WIN_TEMP="$work/temp" bash "$root/scripts/wine-run.sh" "$kxdebug" -t 60 $2 -s "$(windows "$work/script")" "$(windows "$program")" \
      </dev/null 2>&1 | sed -u -e 's/\r$//' -e '/^\[exit\]/q' >"$out"
    grep -qF -- "[stop] state 7 at ereignisse.cpp:$loop_line" "$out" && break
    echo "[$session] the program did not open its window (attempt $attempt), started again"
  done
}
has() { grep -qF -- "$1" "$out" || fail "did not see: $1"; }
# answer COMMAND LINE: the line after the echoed command is LINE.
answer() {
  local got
  got="$(grep -A1 -xF -- "> $1" "$out" | sed -n 2p)"
  [ "$got" = "$2" ] || fail "$1 gave \"$got\", not \"$2\""
}
killed_at_once() {
  local ms
  ms="$(sed -n 's/^\[kill\] ended after \([0-9]*\) ms$/\1/p' "$out")"
  if [ -z "$ms" ]; then fail "the kill did not end the program: $(grep -F '[kill]' "$out")"
  elif [ "$ms" -ge 1000 ]; then fail "the kill took $ms ms"
  fi
  grep -qx -- "\[exit\] 1" "$out" || fail "the program did not end with code 1"
  grep -qF -- "[error]" "$out" && fail "an error was reported"
  grep -qF -- "[stop] state 5" "$out" && fail "the killed program stopped at its end"
}

# Stopped at the breakpoint in the event loop: reading it, then the kill.
run_session breakpoint "" <<SCRIPT
break add $loop
run
wait
eval Zugang
eval PacketGrose*2
eval Connect\\port
eval Version\\Titel
eval #ListIcon_0
eval #ListIcon_0+1
eval #Ereignis_Gadget
eval #KeinName
eval Asc("ü")
where
libs
rows 1
kill
SCRIPT
has "[start]"
has "[stop] state 7 at ereignisse.cpp:$loop_line"
answer "eval Zugang" "[eval] kind 2: 0"
answer "eval PacketGrose*2" "[eval] kind 2: 2000000"
answer "eval Connect\\port" "[eval] kind 2: 21"
answer "eval Version\\Titel" "[eval] kind 4: \"Velmora v 1.0 Release\""
answer "eval #ListIcon_0" "[eval] kind 2: 1"
answer "eval #ListIcon_0+1" "[eval] kind 2: 2"
answer "eval #Ereignis_Gadget" "[eval] kind 2: 13100"
answer "eval #KeinName" "[eval] kind 0: error \"Constant not found: '#KeinName'.\""
answer 'eval Asc("ü")' "[eval] kind 2: 252"
has "programm.cpp:$(grep -n 'Z_ Ereignisschleife();' "$root/app/programm.cpp" | cut -d: -f1) Ereignisschleife()"
has "KX_LIBRARY_Window"
has "Velmora v 1.0 Release"
killed_at_once

# Running in its event loop again, stopped by a stop request; the stop at
# the end (CallOnEnd) is asked for and must not hold the kill.
run_session stop_request "-e" <<SCRIPT
break add $loop
run
wait
break clear
run
stop
wait
where
kill
SCRIPT
has "[stop] state 8 at "
has "[stack] depth"
killed_at_once

# Running, not stopped at all.
run_session running "" <<SCRIPT
break add $loop
run
wait
break clear
run
kill
SCRIPT
killed_at_once

echo "kxdebug_velmora: $failures failures; transcripts in $transcripts/kxdebug_velmora_*.txt"
[ "$failures" = 0 ]
