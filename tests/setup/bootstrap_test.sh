#!/usr/bin/env bash
# The bootstrap against a package registry that misbehaves, with stand-ins for
# apt-get, dpkg and dpkg-query first on PATH (the machine's real package state
# is never touched):
#   1. `apt-get update` fails with exit 100 and every :i386 package is refused:
#      the bootstrap ends 0, the 32-bit tier's failure is one line with apt's
#      reason, the 64-bit tier is installed and nothing is removed.
#   2. one 64-bit package is refused: the bootstrap ends non-zero and names it.
#   3. a later run with a healthy registry installs the 32-bit tier.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/bin"
# The registry's behaviour comes from files in $FAKE: refuse (names refused by
# install, one per line, or "*:i386"), update_fails.
cat > "$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
case "$*" in
  *update*)
    echo "apt-get update" >> "$FAKE/calls"
    if [ -e "$FAKE/update_fails" ]; then
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1234 != 5678). Mirror sync in progress? [IP: 127.0.0.1 80]" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi ;;
  *install*)
    echo "apt-get $*" >> "$FAKE/calls"
    for p in "$@"; do
      case "$p" in -*|install) continue ;; esac
      if grep -qxF "$p" "$FAKE/refuse" 2>/dev/null || { [[ "$p" == *:i386 ]] && grep -qxF '*:i386' "$FAKE/refuse" 2>/dev/null; }; then
        echo "Reading package lists..."
        echo " $p : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
      fi
    done
    for p in "$@"; do case "$p" in -*|install) ;; *) echo "$p" >> "$FAKE/installed" ;; esac; done ;;
  *source*)
    pkg="${*: -1}"
    mkdir -p "$pkg-1.0/contrib/minizip" && touch "$pkg-1.0/png.c" ;;
esac
exit 0
SH
cat > "$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
grep -qxF "${*: -1}" "$FAKE/installed" 2>/dev/null && echo "install ok installed" && exit 0
exit 1
SH
cat > "$work/bin/dpkg" <<'SH'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) cat "$FAKE/arches" 2>/dev/null ;;
  --add-architecture) echo "$2" >> "$FAKE/arches" ;;
esac
SH
chmod +x "$work/bin/"*

run_bootstrap() {  # scenario folder; prints the output to $1/out, returns the exit code
  local fake="$1"
  FAKE="$fake" PATH="$work/bin:$PATH" VELMORA_STATE="$fake/state" VELMORA_SOURCES_DIR="$fake/src" \
    VELMORA_APT_SOURCES_FILE="$fake/src.sources" VELMORA_RUNS_32=1 \
    bash "$root/scripts/bootstrap.sh" >"$fake/out" 2>&1
}

# 1. A broken index and no i386 packages.
s="$work/one"; mkdir -p "$s"; touch "$s/update_fails"; echo '*:i386' > "$s/refuse"
run_bootstrap "$s"; rc=$?
[ "$rc" = 0 ] || fail "broken index and no wine32: exit $rc, expected 0"
[ "$(grep -c 'the 32-bit tier' "$s/out")" = 1 ] || fail "the 32-bit tier's failure is not exactly one line"
grep 'the 32-bit tier' "$s/out" | grep -q 'held broken packages' || fail "the 32-bit tier's line lacks apt's reason"
grep -q 'wine32 could not be installed' "$s/state/tier32" || fail "the 32-bit tier's reason is not kept for the test command"
grep -q 'warning: some package indexes' "$s/out" || fail "the failed index is not reported as a warning"
grep -qx 'nginx-light' "$s/installed" || fail "the 64-bit tier was not installed"
grep -q -- '--no-remove' "$s/calls" || fail "the install may remove packages"
grep -q 'Suites: '"$(. /etc/os-release && echo "$VERSION_CODENAME")"' ' "$s/src.sources" || fail "the source entries do not name this release"

# 2. One 64-bit package refused.
s="$work/two"; mkdir -p "$s"; echo 'nginx-light' > "$s/refuse"
run_bootstrap "$s"; rc=$?
[ "$rc" != 0 ] || fail "a refused 64-bit package ends with exit 0"
grep 'apt refused the 64-bit packages' "$s/out" | grep -q 'nginx-light' || fail "the refused 64-bit package is not named"
[ "$(grep -c 'bootstrap: apt refused' "$s/out")" = 1 ] || fail "the refusal is not one line"

# 3. The first scenario's machine, later, with a healthy registry.
s="$work/one"; rm -f "$s/update_fails" "$s/refuse"
run_bootstrap "$s"; rc=$?
[ "$rc" = 0 ] || fail "the later run: exit $rc"
grep -qx 'wine32:i386' "$s/installed" || fail "the later run did not try the 32-bit tier again"
[ ! -e "$s/state/tier32" ] || fail "the later run kept the old 32-bit failure"

if [ "$failures" = 0 ]; then echo "bootstrap_test: all cases passed"; else
  for f in "$work"/*/out; do echo "--- $f"; cat "$f"; done; fi
exit $((failures > 0))
