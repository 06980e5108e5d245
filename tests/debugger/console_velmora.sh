#!/usr/bin/env bash
# A person's session with the console debugger on the real program: Velmora
# runs under Wine inside tmux with its window on the test display; Ctrl+C in
# the terminal stops it, the person looks at the access state and the server
# structure, lets it run on, and ends it from the prompt.  The transcript is
# kept under the build tree.
#
#   console_velmora.sh VELMORA.exe TRANSCRIPT_DIR
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
program="$1"
transcripts="$2"
mkdir -p "$transcripts"
socket="kxvelmora-$$"
session=velmora
failures=0
temp="$(mktemp -d)"
trap 'tmux -L "$socket" kill-server 2>/dev/null; rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"; rm -rf "$temp"' EXIT

tmux -L "$socket" new-session -d -s "$session" -x 150 -y 50 \
  "cd '$root' && VELMORA_WIN_TEMP='$temp' bash scripts/wine-run.sh '$program'; echo EXIT=\$?; sleep 600"

screen() { tmux -L "$socket" capture-pane -p -J -S -3000 -t "$session"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {
  local text="$1" limit="${2:-30}" waited=0
  while ! screen | grep -qF -- "$text"; do
    if [ "$waited" -ge $((limit * 10)) ]; then fail "did not see: $text"; return 1; fi
    sleep 0.1
    waited=$((waited + 1))
  done
}
type_line() { tmux -L "$socket" send-keys -t "$session" -l "$1"; tmux -L "$socket" send-keys -t "$session" Enter; }
command() {
  local prompts
  prompts="$(screen | grep -cF "DEBUGGER::")"
  tmux -L "$socket" send-keys -t "$session" -l "$1"
  tmux -L "$socket" send-keys -t "$session" Enter
  for _ in $(seq 300); do
    [ "$(screen | grep -cF "DEBUGGER::")" -gt "$prompts" ] && return 0
    sleep 0.1
  done
  fail "no prompt after: $1"
}
# answer COMMAND LINE: the command's first output line is LINE.
answer() {
  command "$1"
  local got
  got="$(screen | grep -A1 -xF -- "DEBUGGER:: $1" | tail -1)"
  [ "$got" = "$2" ] || fail "$1 gave \"$got\", not \"$2\""
}
window_up() { xdotool search --name "Velmora v 1.0 Release" >/dev/null 2>&1; }

for _ in $(seq 300); do window_up && break; sleep 0.1; done
window_up || fail "the main window did not open"

tmux -L "$socket" send-keys -t "$session" C-c
expect "DEBUGGER::"
command "debug Zugang"
expect "[Debugger]  0"
command "debug PacketGrose*2"
expect "[Debugger]  2000000"
command "debug Connect"
expect "Connect.serverid"
command "debug Connect\\port"
expect "[Debugger]  21"
command "variables"
expect "[Debugger Variable Dump]"
# The program's constants: the gadget numbers it uses itself.
answer "debug #ListIcon_0" "[Debugger]  1"
answer "debug #ListIcon_0+1" "[Debugger]  2"
answer "debug #listicon_1 * 100 + #CodeWindow" "[Debugger]  1442"
answer "debug #KeinName" "  Error: Constant not found: '#KeinName'."
# Umlauts typed at the prompt are the program's umlauts, and its texts show
# with theirs.
answer 'debug Asc("ü")' "[Debugger]  252"
answer "debug 'é'" "[Debugger]  233"
answer 'debug Len("Größe")' "[Debugger]  5"
answer 'debug "Größe" + "ß"' "[Debugger]  Größeß"
answer "debug Namen\\Text_Auswahlfenster" \
  "[Debugger]  Bitte wählen sie eine Datei oder ein Verzeichnis aus, das hochgeladen werden soll."
type_line "run"
sleep 1
window_up || fail "the main window is gone after run"
screen | grep -qF "EXIT=" && fail "the program ended after run"

# Stopped a second time: the prompt comes back without a second banner.
prompts="$(screen | grep -cF "DEBUGGER::")"
tmux -L "$socket" send-keys -t "$session" C-c
for _ in $(seq 300); do [ "$(screen | grep -cF "DEBUGGER::")" -gt "$prompts" ] && break; sleep 0.1; done
[ "$(screen | grep -cF "DEBUGGER::")" -gt "$prompts" ] || fail "no prompt after the second Ctrl+C"
[ "$(screen | grep -cF "Korvex Console Debugger")" = 1 ] || fail "banner shown twice"
command "debug Zugang + 1"
expect "[Debugger]  1"
type_line "exit"
expect "EXIT=" 30
screen >"$transcripts/console_velmora.txt"
echo "console_velmora: $failures failures; transcript in $transcripts/console_velmora.txt"
[ "$failures" = 0 ]
