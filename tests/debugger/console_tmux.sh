#!/usr/bin/env bash
# The console debugger in a real terminal: the probe program runs under Wine
# inside tmux; keys are typed with send-keys and the screen is read with
# capture-pane.  Each session's transcript is kept under the build tree.
#
#   console_tmux.sh PROBE.exe TRANSCRIPT_DIR
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
probe="$1"
transcripts="$2"
mkdir -p "$transcripts"
socket="kxdbg-$$"
work="$(mktemp -d)"
failures=0
session=""

cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
  rm -rf "$work"
}
trap cleanup EXIT
# The sessions come and go one after another; a tmux server whose last session
# ends exits, and a new session asked of it while it exits fails ("server
# exited unexpectedly").  A session that waits all along keeps the server.
tmux -L "$socket" new-session -d -s keeper "sleep 100000" || { echo "FAIL: tmux does not start"; exit 1; }

# start NAME [ENV=VALUE...] -- ARGUMENTS: the probe in a new terminal.
start() {
  session="$1"
  shift
  local environment=()
  while [ "$1" != "--" ]; do environment+=("$1"); shift; done
  shift
  tmux -L "$socket" new-session -d -s "$session" -x 150 -y 50 \
    "cd '$root' && env ${environment[*]} bash scripts/wine-run.sh '$probe' $*; echo EXIT=\$?; sleep 600" || {
    echo "FAIL [$session]: tmux did not open the session"
    exit 1
  }
}

screen() { tmux -L "$socket" capture-pane -p -J -S -3000 -t "$session"; }

type_line() { tmux -L "$socket" send-keys -t "$session" -l "$1"; tmux -L "$socket" send-keys -t "$session" Enter; }

# expect TEXT [SECONDS]: waits until the screen shows the text (fixed string).
expect() {
  local text="$1" limit="${2:-30}" waited=0
  while ! screen | grep -qF -- "$text"; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      echo "FAIL [$session]: did not see: $text"
      failures=$((failures + 1))
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
}

# count TEXT: how often the screen shows it.
count() { screen | grep -cF -- "$1"; }

# command TEXT: types a command and waits for the next prompt.
command() {
  local prompts
  prompts="$(count "DEBUGGER::")"
  type_line "$1"
  local waited=0
  while [ "$(count "DEBUGGER::")" -le "$prompts" ]; do
    if [ "$waited" -ge 300 ]; then
      echo "FAIL [$session]: no prompt after: $1"
      failures=$((failures + 1))
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
}

finish() {
  screen >"$transcripts/console_$session.txt"
  tmux -L "$socket" kill-session -t "$session" 2>/dev/null
}

# A Windows path of a Unix one (the probe sees the root as drive Z:).
windows() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

# ---- Ctrl+C on a running program, its variables, the commands' texts ----
start running -- loop
expect "[Debugger]  2.5" 60
tmux -L "$socket" send-keys -t "$session" C-c
expect "Type 'help' for command options."
expect "DEBUGGER::"
command "line"
expect "Line: 13"
command "variables"
expect "[Debugger Variable Dump]"
expect "Main source variables:"
expect "           Long  Zahl                 60"
expect "         String  Name\$                \"Velmora\""
expect "         Double  Wert                 2.5"
expect "         Struct  Verbindung.Connect"
expect "             Long  serverid             1"
command "history variables"
expect "The current position is not inside a procedure."
command "debug 1+2"
expect "[Debugger]  3"
command "debug"
expect "  An expression to be evaluated must be specified."
command "debug Verbindung"
expect "  Verbindung.serverid"
expect "  Verbindung.ip\$"
command "set Zahl = 7"
expect "  Variable set to 7"
command 'set Name$ = "Hallo"'
expect '  Variable set to "Hallo"'
command 'set Verbindung\serverid = 4'
expect "  Variable set to 4"
command "set Zahl = \"text\""
expect "  Error: "
command "hex"
expect "  Displaying numbers in hexadecimal."
command "variables nostructures"
expect "           Long  Zahl                 \$7"
expect "         String  Name\$                \"Hallo\""
command "dec"
expect "  Displaying numbers in decimal."
command "help"
expect "  arrayshow   print parts of arrays"
expect "Type 'help <command>' for more detailed help."
command "help BreakSet"
expect "  Usage: breakset <linenumber> [, <filenumber>]"
command "help nothing"
expect "  Unknown command: nothing"
expect "  Type 'help' for a list of possible commands."
command "breakset 7"
expect "  Breakpoint set on line: 7 (probe.kx)"
command "breakset 7"
expect "  Breakpoint allready set."
command "breakset 14"
expect "  Invalid line number."
command "breakset 1,5"
expect "  Invalid file number."
command "breakset 2,1"
command "breakpoints"
expect "[Debugger Breakpoints]"
expect "  Line: 7"
expect "(probe.kx)"
expect "(inc.kx)"
command "breakremove 7"
expect "  Breakpoint removed."
command "breakremove 7"
expect "  Breakpoint not found."
command "breakclear"
expect "  All Breakpoints removed."
command "breakpoints"
expect "  No breakpoints set. Use \"breakset\" to add a breakpoint."
command "registers"
expect "[Debugger Register Dump]"
expect " FLAGS = "
command "files"
expect "  1 - inc.kx"
command "file report"
expect "  There is no redirection set."
command "arrays"
expect "[Debugger Array List]"
expect "    Long  Feld(2)"
command "arrayshow Feld, 1-2"
expect "  Feld(1)  = 8"
expect "  Feld(2)  = 9"
command "linkedlists"
expect "- elements: 2 current: 1"
command "listshow Liste, all"
expect "  0: Liste() = 100"
command "nonsense"
expect "  Unknown command."
command "report"
expect "   Korvex Debugger Report"
expect "[Error information]"
expect "  Program State: halted by User"
expect "[Environment variables]"
# "memory" from the middle of a 16-byte line pads the first line: Zahl
# (7 now) from its second byte.
command "debug @Zahl"
address="$(screen | grep -A1 -F "DEBUGGER:: debug @Zahl" | tail -1 | sed -n 's/^\[Debugger\]  \([0-9]*\).*/\1/p')"
if [ -n "$address" ]; then
  from=$((address + 1))
  command "memory $from,3"
  expect "[Debugger Memory Dump]"
  line_start=$(( from & ~15 ))
  blanks="$(printf '%*s' $(( (from - line_start) * 3 )) '')"
  expect "$(printf '  $%08X  %s00 00 00 ' "$line_start" "$blanks")"
else
  echo "FAIL [$session]: no address of Zahl"
  failures=$((failures + 1))
fi
type_line "run"
sleep 1
tmux -L "$socket" send-keys -t "$session" C-c
expect "Line: 13" >/dev/null
command "line"
[ "$(count "Korvex Console Debugger")" = 1 ] || { echo "FAIL [$session]: banner shown twice"; failures=$((failures + 1)); }
type_line "exit"
expect "EXIT=1"
finish

# ---- settings file, steps, an error in console mode, saveconfig ----
install="$work/install/"
mkdir -p "$install/Debugger"
redirect="$(windows "$work/redirect.txt")"
printf '; test settings\n\nCallOnStart = 1\nerrors = Console\nredirect = %s\nShell = cmd /c echo shell here\n' \
  "$redirect" >"$install/Debugger/debugger.prefs"
start settings "KX_PROBE_INSTALL='$(windows "$install")'" -- error
expect "DEBUGGER::" 60
command "line"
expect "Line: 1"
command "step"
command "line"
expect "Line: 2"
command "step 3"
command "line"
expect "File: inc.kx"
command "history"
expect "On Line 3 (probe.kx) called:"
expect "--> Outer(3)"
expect "  On Line 11 (probe.kx) called:"
expect "  --> Inner(\"abc\")"
command "history variables"
expect "Local Variables of Outer()"
expect "  Local    Long  n                    3"
expect "  Local Variables of Inner()"
expect "    Local  String  Text\$                \"abc\""
command "variables"
expect "Variables in Procedure: Inner()"
command "set n = 4"
expect "  Error: "
command "step 2"
command "line"
expect "Line: 4"
command "step 5"
command "line"
expect "Line: 5"
command "saveconfig"
expect "  Configuration saved to "
command "run"
expect "[Debugger Error]  The specified Thread does not exists."
expect "[Debugger Error]  File: probe.kx (Line: 8)"
command "registers"
expect "  Cannot display register values at this point."
command "file line"
type_line "run"
expect "EXIT=0"
finish
saved="$install/Debugger/debugger.prefs"
for line in "; Korvex Debugger Settings" "Redirect = $redirect" "Numbers = dec" "Errors = console" \
  "Warnings = display" "CallOnStart = 1" "CallOnEnd = 0" "Shell = cmd /c echo shell here"; do
  grep -qxF -- "$line" <(tr -d '\r' <"$saved") || { echo "FAIL [settings]: saved file lacks: $line"; failures=$((failures + 1)); }
done
for line in "[Debugger]  probe" "[Debugger Error]  The specified Thread does not exists." "File: probe.kx" "Line: 8"; do
  grep -qF -- "$line" <(tr -d '\r' <"$work/redirect.txt") || { echo "FAIL [settings]: redirect file lacks: $line"; failures=$((failures + 1)); }
done

# ---- the error prompt: "i" ignores all further errors; an empty answer ends ----
start ignore -- errors2
expect "  (y,N,d,i)" 60
type_line "i"
expect "[Debugger Error]  The specified length is 0."
expect "EXIT=0"
[ "$(count "(y,N,d,i)")" = 1 ] || { echo "FAIL [ignore]: asked again"; failures=$((failures + 1)); }
finish

start empty -- error
expect "  (y,N,d,i)" 60
type_line ""
expect "EXIT=1"
if screen | grep -qF "[Debugger]  60"; then echo "FAIL [empty]: the program went on"; failures=$((failures + 1)); fi
finish

# ---- "d" opens the console at an error; "run" goes on ----
start console -- error
expect "  (y,N,d,i)" 60
type_line "d"
expect "DEBUGGER::"
command "line"
expect "Line: 8"
type_line "run"
expect "EXIT=0"
finish

echo "console_tmux: $failures failures; transcripts in $transcripts"
[ "$failures" = 0 ]
