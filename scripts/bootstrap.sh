#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Velmora.
# Idempotent: each step checks first and does nothing when already done.
set -euo pipefail

[ "$(id -u)" = 0 ] || { echo "bootstrap: must run as root" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  wine wine32 wine64
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  cmake ninja-build make
  googletest
  xvfb xauth xdotool x11-utils tmux
  python3 python3-pyftpdlib
  nginx-light
  zip unzip
  curl ccache
  dpkg-dev
)

updated=0
apt_update() {
  if [ "$updated" = 0 ]; then apt-get update -qq; updated=1; fi
}

# The i386 architecture for wine32.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=0
  apt_update
fi

# Source entries so that apt-get source can fetch zlib and libpng1.6.
srcfile=/etc/apt/sources.list.d/velmora-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  cat > "$srcfile" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  updated=0
fi

missing=()
for p in "${packages[@]}"; do
  arch_p="$p"
  [ "$p" = wine32 ] && arch_p="wine32:i386"
  if ! dpkg-query -W -f='${Status}' "$arch_p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$arch_p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  apt_update
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Dependency sources, unpacked once under third_party/src (ignored by git).
src="$root/third_party/src"
mkdir -p "$src"
fetch_source() {
  local pkg="$1" marker="$2"
  if ! ls -d "$src"/$marker >/dev/null 2>&1; then
    apt_update
    (cd "$src" && apt-get source -qq "$pkg" >/dev/null 2>&1) || {
      apt-get update -qq; (cd "$src" && apt-get source -qq "$pkg"); }
  fi
}
fetch_source zlib 'zlib-*/contrib/minizip'
fetch_source libpng1.6 'libpng1.6-*/png.c'

echo "bootstrap: ready"
