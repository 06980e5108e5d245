#!/usr/bin/env bash
# Archives written by kxpack read back with Info-ZIP, and archives written by
# Info-ZIP unpacked by kxpack, byte for byte.
#   pack_interplay.sh PATH/TO/kxpack.exe
set -euo pipefail
kxpack="$1"
source_dir="${VELMORA_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
run="$source_dir/scripts/wine-run.sh"
work="$(mktemp -d /tmp/kxpack-interplay.XXXXXX)"
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what="$1"; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }
win() { local p="$1"; echo "Z:${p//\//\\}"; }
# kxpack's output without carriage returns; its last line is the result.
pack() { bash "$run" --say-exit "$kxpack" "$@" </dev/null | tr -d '\r'; }
result() { pack "$@" | tail -n 1; }

# A tree with text, random data, an empty file, nested and empty folders.
src="$work/src"
mkdir -p "$src/docs/deep" "$src/empty dir" "$src/bin"
for i in $(seq 1 4000); do echo "line $i of the Velmora pack interplay corpus"; done > "$src/docs/corpus.txt"
head -c 350000 /dev/urandom > "$src/bin/random.bin"
: > "$src/docs/deep/zero.txt"
echo "top level" > "$src/top.txt"
printf 'no extension' > "$src/docs/deep/README"

# ---- kxpack writes, Info-ZIP reads ---------------------------------------
a1="$work/file.zip"
check "PackFile result 1" test "$(result file "$(win "$a1")" "$(win "$src/docs/corpus.txt")" 0)" = 1
check "PackFile appends" test "$(result file "$(win "$a1")" "$(win "$src/bin/random.bin")" 2)" = 1
check "unzip -t passes on PackFile archive" unzip -tq "$a1"
check "names of PackFile archive" test "$(zipinfo -1 "$a1" | tr '\n' ' ')" = "corpus.txt random.bin "
check "deflated at maximum compression" \
  test "$(zipinfo -v "$a1" | grep -c 'compression sub-type (deflation):  *maximum')" = 2
check "method deflated" test "$(zipinfo -v "$a1" | grep -c 'compression method: *deflated')" = 2
mkdir "$work/x1"
(cd "$work/x1" && unzip -q "$a1")
check "Info-ZIP unpacks PackFile archive" cmp -s "$work/x1/random.bin" "$src/bin/random.bin"

a2="$work/folder.zip"
check "PackFolder counts files with data" \
  test "$(result folder "$(win "$a2")" "$(win "$src")\\*.*" 2 2)" = 4
check "unzip -t passes on PackFolder archive" unzip -tq "$a2"
expected="bin/ bin/random.bin docs/ docs/corpus.txt docs/deep/ docs/deep/README docs/deep/zero.txt empty dir/ top.txt "
check "names of PackFolder archive" test "$(zipinfo -1 "$a2" | sort | tr '\n' ' ')" = "$expected"
mkdir "$work/x2"
(cd "$work/x2" && unzip -q "$a2")
check "Info-ZIP unpacks PackFolder archive to the same tree" diff -r "$src" "$work/x2"

a3="$work/flat.zip"
check "PackFolder mode 0 takes the folder's own files" \
  test "$(result folder "$(win "$a3")" "$(win "$src/docs")\\*.txt" 0 0)" = 1
check "names of mode 0" test "$(zipinfo -1 "$a3")" = "corpus.txt"

progress="$(pack --progress file "$(win "$work/p.zip")" "$(win "$src/bin/random.bin")" 0)"
check "progress per block and per entry" test "$(printf '%s\n' "$progress" | cut -f2 | tr '\n' ' ')" = \
  "29.3 58.5 87.8 100.0 100.0 1 "
check "progress names the source" \
  test "$(printf '%s\n' "$progress" | head -n 1 | cut -f1)" = "$(win "$src/bin/random.bin")"

# ---- Info-ZIP writes, kxpack reads -----------------------------------------
(cd "$src" && zip -qr -9 "$work/iz.zip" .)
(cd "$src" && zip -qr -D "$work/iz-nodirs.zip" .)
(cd "$src" && zip -qr -0 "$work/iz-stored.zip" .)
for archive in iz iz-nodirs iz-stored; do
  out="$work/u-$archive"
  count="$(result unpack "$(win "$work/$archive.zip")" "*.*" "$(win "$out")" 1)"
  check "$archive: kxpack counts every file" test "$count" = 5
  # Info-ZIP without folder entries cannot say the empty folder exists.
  [ "$archive" = iz-nodirs ] && mkdir -p "$out/empty dir"
  check "$archive: kxpack unpacks to identical files" diff -r "$src" "$out"
done
flat="$work/u-flat"
check "keep-paths 0 writes file parts" \
  test "$(result unpack "$(win "$work/iz.zip")" "" "$(win "$flat")" 0)" = 5
check "keep-paths 0 contents" cmp -s "$flat/random.bin" "$src/bin/random.bin"
check "keep-paths 0 has no folders" test "$(find "$flat" -mindepth 1 -type d | wc -l)" = 0

# ---- a "../" name that a foreign writer stored ------------------------------
/usr/bin/python3 - "$work/hostile.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("../evil.txt", "escaped")
    z.writestr("sub/../../evil2.txt", "escaped")
    z.writestr("sub/fine.txt", "fine")
PY
check "unzip -t accepts the crafted archive" unzip -tq "$work/hostile.zip"
mkdir -p "$work/hd/inside"
check "keep-paths 1 skips the climbing entries" \
  test "$(result unpack "$(win "$work/hostile.zip")" "" "$(win "$work/hd/inside")" 1)" = 1
check "keep-paths 1 wrote the harmless entry" test "$(cat "$work/hd/inside/sub/fine.txt")" = fine
check "keep-paths 0 confines every entry" \
  test "$(result unpack "$(win "$work/hostile.zip")" "" "$(win "$work/hd/flat")" 0)" = 3
check "nothing escaped" test ! -e "$work/hd/evil.txt" -a ! -e "$work/evil.txt" -a ! -e "$work/hd/evil2.txt"

# ---- a damaged entry in an Info-ZIP archive -----------------------------------
(cd "$src" && zip -q -9 "$work/damaged.zip" docs/corpus.txt top.txt)
/usr/bin/python3 - "$work/damaged.zip" <<'PY'
import sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path) as z:
    info = z.getinfo("docs/corpus.txt")
data = bytearray(open(path, "rb").read())
off = info.header_offset  # the local header's own name and extra lengths
start = off + 30 + int.from_bytes(data[off + 26:off + 28], "little") + int.from_bytes(data[off + 28:off + 30], "little")
data[start + info.compress_size // 2] ^= 0x20
open(path, "wb").write(data)
PY
check "unzip -t sees the damage" bash -c "! unzip -tq '$work/damaged.zip' >/dev/null 2>&1"
check "kxpack counts only the intact entry" \
  test "$(result unpack "$(win "$work/damaged.zip")" "" "$(win "$work/dm")" 0)" = 1
check "the damaged file is not left behind" test ! -e "$work/dm/corpus.txt"
check "the intact file is unpacked" cmp -s "$work/dm/top.txt" "$src/top.txt"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all interplay checks passed"
