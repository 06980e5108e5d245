#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Velmora.
# Idempotent: each step checks first and does nothing when already done.
#
# Two tiers:
#   64-bit  everything the 64-bit build, its tests and the demo need.  The only
#           hard requirement: if apt refuses it, one line says what and why,
#           and the exit is non-zero.
#   32-bit  the i386 architecture and wine32, tried only where this machine
#           executes 32-bit code.  A refusal is one line and no failure; the
#           reason is kept in $VELMORA_STATE/tier32 for the test command, and a
#           later run tries again.
# A failed package index is a warning: the install step decides whether what
# is needed can still be had.
#
# For its own test (stand-ins for apt-get and dpkg come first on PATH):
# VELMORA_STATE (where the 32-bit tier's outcome is kept; default third_party/),
# VELMORA_SOURCES_DIR (the unpacked sources; default third_party/src),
# VELMORA_APT_SOURCES_FILE (the deb-src entries), VELMORA_RUNS_32 (1 or 0:
# skip the probe for 32-bit code).
set -uo pipefail

[ "$(id -u)" = 0 ] || { echo "bootstrap: must run as root (it installs packages)" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="${VELMORA_STATE:-$root/third_party}"
mkdir -p "$state"

tier64=(
  wine wine64 libgnutls30
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  cmake ninja-build make
  googletest
  xvfb xauth xdotool x11-utils tmux
  python3 python3-pyftpdlib python3-cryptography
  nginx-light
  zip unzip
  curl ccache
  dpkg-dev
)
tier32=(wine32:i386 libgnutls30:i386)

# apt's reasons from its output, on one line: its E: lines, and the lines that
# name an unmet dependency.
apt_reason() {
  grep -E '^(E:|W:)|: Depends:|has no installation candidate|Unable to locate' "$1" |
    grep -vE '^W: (Some index files|Target )' | sed -E 's/^ +//' | awk 'NR <= 6' | paste -sd ' ' -
}

# The installed state of one package (arch-qualified names allowed).
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

updated=0
apt_update() {
  [ "$updated" = 1 ] && return 0
  updated=1
  local log
  log=$(mktemp)
  if ! apt-get update -qq -o Acquire::Retries=3 >"$log" 2>&1; then
    echo "bootstrap: warning: some package indexes could not be fetched ($(apt_reason "$log")); going on with what is there" >&2
  fi
  rm -f "$log"
  return 0
}

# Installs the missing ones of the named packages; never removes a package.
# Prints apt's reason and fails when apt refuses.
apt_install() {
  local missing=() p log
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "bootstrap: installing ${missing[*]}"
  apt_update
  log=$(mktemp)
  if ! apt-get install -y -qq --no-install-recommends --no-remove "${missing[@]}" >"$log" 2>&1; then
    refused="${missing[*]}: $(apt_reason "$log")"
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# Source entries so that apt-get source can fetch zlib and libpng1.6, for the
# machine's own release.
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || codename=$(lsb_release -sc 2>/dev/null || echo bookworm)
srcfile="${VELMORA_APT_SOURCES_FILE:-/etc/apt/sources.list.d/velmora-src.sources}"
want_src="Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
if [ -n "${VELMORA_APT_SOURCES_FILE:-}" ] || [ -f "$srcfile" ] ||
   { ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; }; then
  if [ "$(cat "$srcfile" 2>/dev/null)" != "$want_src" ]; then
    printf '%s\n' "$want_src" > "$srcfile"
    updated=0
  fi
fi

# The 64-bit tier first: the only hard requirement.
refused=""
if ! apt_install "${tier64[@]}"; then
  echo "bootstrap: apt refused the 64-bit packages the build and tests need: $refused" >&2
  exit 1
fi

# The 32-bit tier, where this machine executes 32-bit code.
rm -f "$state/tier32"
runs32="${VELMORA_RUNS_32:-}"
if [ -z "$runs32" ]; then
  runs32=0
  bash "$root/scripts/runs-32bit.sh" && runs32=1
fi
if [ "$runs32" != 1 ]; then
  echo "this machine cannot execute 32-bit programs" > "$state/tier32"
else
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=0
  fi
  if ! apt_install "${tier32[@]}"; then
    echo "bootstrap: the 32-bit tier (wine32) could not be installed, the 32-bit build will not be tested: $refused" >&2
    echo "wine32 could not be installed: $refused" > "$state/tier32"
  fi
fi

# Dependency sources, unpacked under third_party/src (ignored by git).  The
# build takes the newest version found there.
src="${VELMORA_SOURCES_DIR:-$root/third_party/src}"
mkdir -p "$src"
fetch_source() {
  local pkg="$1" marker="$2" log
  ls -d "$src"/$marker >/dev/null 2>&1 && return 0
  apt_update
  log=$(mktemp)
  if ! (cd "$src" && apt-get source -qq "$pkg" >"$log" 2>&1); then
    # One retry with fresh indexes (a mirror in sync).
    updated=0
    apt_update
    if ! (cd "$src" && apt-get source -qq "$pkg" >"$log" 2>&1); then
      echo "bootstrap: apt could not fetch the source of $pkg: $(apt_reason "$log")" >&2
      rm -f "$log"
      return 1
    fi
  fi
  rm -f "$log"
}
fetch_source zlib 'zlib-*/contrib/minizip' || exit 1
fetch_source libpng1.6 'libpng1.6-*/png.c' || exit 1

echo "bootstrap: ready"
