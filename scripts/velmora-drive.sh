# Sourced: drives a running Velmora from outside through its windows with
# kxprobe, as a user would: send a file or a folder and read the code, receive
# a code into a folder, close the program.  Needs run() (the Wine runner),
# probe_tool (kxprobe.exe of the same build) and shots (a folder for
# screenshots); every path argument is a Unix path.
velmora_title="Velmora v 1.0 Release"

velmora_winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
velmora_probe() { run "$probe_tool" "$@"; }
velmora_shot() {
  velmora_probe screenshot "$1" "$(velmora_winpath "$shots/$2.bmp")" >/dev/null 2>&1 || true
}

# velmora_send PATH [file|folder]: Datei > Hinzufügen, the path confirmed with
# "Eintragen", Datei > Senden; prints the code of the code window and closes
# it.  Returns 1 when a step found no window.
velmora_send() {
  local path="$1" kind="${2:-folder}" option=51 field=53 code
  [ "$kind" = file ] && option=50 field=52
  velmora_probe --timeout=60000 find "$velmora_title" >/dev/null || return 1
  velmora_probe choose "$velmora_title" 1 >/dev/null
  velmora_probe --timeout=20000 find Auswahlfenster >/dev/null || return 1
  velmora_probe click Auswahlfenster "$option" >/dev/null
  if [ "$kind" = file ]; then
    velmora_probe settext Auswahlfenster "$field" "$(velmora_winpath "$path")" >/dev/null
  else
    velmora_probe settext Auswahlfenster "$field" "$(velmora_winpath "$path")\\" >/dev/null
  fi
  velmora_shot Auswahlfenster "${velmora_shot_prefix:-}auswahl"
  velmora_probe click Auswahlfenster 59 >/dev/null
  velmora_probe --timeout=20000 gone Auswahlfenster >/dev/null || return 1
  velmora_probe choose "$velmora_title" 2 >/dev/null
  velmora_probe --timeout=600000 find Code >/dev/null || return 1
  velmora_shot Code "${velmora_shot_prefix:-}code"
  code="$(velmora_probe controls Code | sed -n 's/^control id 44 class "[^"]*" text "\([0-9]*\)".*/\1/p')"
  [ -n "$code" ] || return 1
  velmora_shot "$velmora_title" "${velmora_shot_prefix:-}gesendet"
  velmora_probe click Code 45 >/dev/null
  velmora_probe --timeout=20000 gone Code >/dev/null || true
  echo "$code"
}

# velmora_receive CODE TARGET: tab "Empfangen", the code, "Downloaden", TARGET
# typed into the save requester; waits for the end of the download and prints
# the message that came ("title|text"), confirming it.
velmora_receive() {
  local code="$1" target="$2" box title text
  velmora_probe select "$velmora_title" 13 1 >/dev/null
  velmora_probe settext "$velmora_title" 15 "$code" >/dev/null
  velmora_probe click "$velmora_title" 17 >/dev/null
  velmora_probe --timeout=30000 filedialog Speicherort "$(velmora_winpath "$target")" >/dev/null || return 1
  # The first message box of the program that comes: success or failure.
  for _ in $(seq 6000); do
    for title in "Download abgeschlossen" Fehler; do
      box="$(velmora_probe --timeout=10 controls "$title" 2>/dev/null || true)"
      if printf %s "$box" | grep -aq '^window handle'; then
        # A message box's text is its static control 65535.
        text="$(printf %s "$box" | sed -n 's/^control id 65535 class "Static" text "\(.*\)" x .*/\1/p' | head -1)"
        velmora_shot "$velmora_title" "${velmora_shot_prefix:-}empfangen"
        velmora_probe dialog "$title" 1 >/dev/null || true
        echo "$title|$text"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# velmora_close PID: the close request answered with "Ja"; waits for the end.
velmora_close() {
  local pid="$1"
  velmora_probe close "$velmora_title" >/dev/null || true
  velmora_probe --timeout=20000 dialog "Wirklich Beenden" 6 >/dev/null || true
  for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
