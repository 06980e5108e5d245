# Sourced: the project's Wine environment.  VELMORA_WINEPREFIX chooses another
# prefix (several work trees on one machine); the default is project-local.
velmora_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VELMORA_WINEPREFIX:-$velmora_root/.wine}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
# A display only where one was set up (GUI tests); console programs need none.
: "${DISPLAY:=}"
export DISPLAY
