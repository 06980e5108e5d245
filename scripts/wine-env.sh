# Sourced: the project's Wine environment for one architecture.
#   VELMORA_WINE_ARCH   64 (default) or 32: which loader and prefix
#   VELMORA_WINEPREFIX  base of the prefixes (default: project-local .wine);
#                       the architecture is appended (.wine64, .wine32)
# Sets WINEPREFIX, WINEARCH, WINELOADER, WINESERVER and VELMORA_WINE (the
# loader to call).  Debian's `wine` wrapper is never used: it picks the 32-bit
# loader whenever wine32 is installed, even where the kernel cannot run it.
velmora_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
velmora_wine_dir=/usr/lib/wine

velmora_wine_select() {
  local arch="${1:-${VELMORA_WINE_ARCH:-64}}"
  export VELMORA_WINE_ARCH="$arch"
  export WINEPREFIX="${VELMORA_WINEPREFIX:-$velmora_root/.wine}$arch"
  if [ "$arch" = 32 ]; then
    export WINEARCH=win32
    export VELMORA_WINE="$velmora_wine_dir/wine"
    export WINESERVER="$velmora_wine_dir/wineserver32"
  else
    export WINEARCH=win64
    export VELMORA_WINE="$velmora_wine_dir/wine64"
    export WINESERVER="$velmora_wine_dir/wineserver64"
  fi
  export WINELOADER="$VELMORA_WINE"
}

# True when this machine's kernel executes 32-bit programs: the 32-bit loader
# answers its version (elsewhere it fails with "Exec format error").
velmora_can_run_32() {
  [ -x "$velmora_wine_dir/wine" ] && "$velmora_wine_dir/wine" --version >/dev/null 2>&1
}

# Why the 32-bit build cannot run here, in a few words: the bootstrap's record
# of its 32-bit tier, else what a probe finds.
velmora_why_not_32() {
  if [ -s "$velmora_root/third_party/tier32" ]; then
    cat "$velmora_root/third_party/tier32"
  elif ! bash "$velmora_root/scripts/runs-32bit.sh"; then
    echo "this machine cannot execute 32-bit programs"
  elif [ ! -x "$velmora_wine_dir/wine" ]; then
    echo "wine32 is not installed"
  else
    echo "the 32-bit Wine loader does not start"
  fi
}

# The architecture of a PE program (32 or 64), empty when it is none.
velmora_pe_arch() {
  local file="$1" offset machine
  [ -f "$file" ] || return 0
  offset=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) echo 32 ;;
    8664) echo 64 ;;
  esac
}

# Creates the prefix when it does not exist yet.  Serialised by a lock so that
# parallel tests do not build it twice.  Fails with a message (and never waits
# without end) when Wine cannot make it.
velmora_wine_prefix() {
  [ -d "$WINEPREFIX/drive_c/windows/system32" ] && return 0
  if ! mkdir -p "$(dirname "$WINEPREFIX")" 2>/dev/null || ! touch "$WINEPREFIX.lock" 2>/dev/null; then
    echo "wine: cannot create the Wine prefix $WINEPREFIX: its folder is not writable" >&2
    return 1
  fi
  (
    flock -w 300 9 || { echo "wine: timed out waiting for the prefix lock of $WINEPREFIX" >&2; exit 1; }
    [ -d "$WINEPREFIX/drive_c/windows/system32" ] && exit 0
    if [ ! -x "$VELMORA_WINE" ]; then
      echo "wine: the loader $VELMORA_WINE is missing (run scripts/bootstrap.sh)" >&2
      exit 1
    fi
    echo "wine: creating the $VELMORA_WINE_ARCH-bit prefix $WINEPREFIX (once)" >&2
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    local log="$WINEPREFIX.create.log"
    if ! timeout 240 "$VELMORA_WINE" wineboot.exe -i >"$log" 2>&1 ||
       [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
      echo "wine: could not create the prefix $WINEPREFIX with $VELMORA_WINE:" >&2
      tail -n 5 "$log" >&2
      rm -rf "$WINEPREFIX"
      exit 1
    fi
    # The server that wineboot started is ours: let it write the registry and
    # end, so that a persistent one can take its place (bounded wait).
    timeout 60 "$WINESERVER" -w >/dev/null 2>&1 || true
  ) 9>"$WINEPREFIX.lock"
}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
# The program's texts are Windows-1252 bytes (the build writes its literals
# so); Wine takes its ANSI code page from the Unix locale, and C.UTF-8 gives
# en-US with code page 1252 whatever locale the caller has.
export LC_ALL=C.UTF-8
# A display only where one was set up (GUI tests); console programs need none.
: "${DISPLAY:=}"
export DISPLAY
velmora_wine_select "${VELMORA_WINE_ARCH:-64}"

# The build a person or a benchmark runs here: the 32-bit product where this
# machine executes 32-bit code, else the 64-bit build.  Sets velmora_build
# (the build folder) and velmora_arch, and selects that architecture's Wine.
velmora_pick_build() {
  if velmora_can_run_32; then
    velmora_build="$velmora_root/build" velmora_arch=32
  else
    velmora_build="$velmora_root/build-x64" velmora_arch=64
  fi
  velmora_wine_select "$velmora_arch"
}
