#!/usr/bin/env bash
# A file sealed by kxseal.exe (under Wine) read back by the reference reader
# (Python's cryptography: standard HKDF-SHA256 and AES-256-GCM), byte for
# byte; the reference refuses the wrong secret.
#   seal_reference.sh PATH/TO/kxseal.exe
set -euo pipefail
kxseal="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="${VELMORA_SOURCE_DIR:-$(cd "$here/../.." && pwd)}"
run="$source_dir/scripts/wine-run.sh"
work="$(mktemp -d /tmp/kxseal-reference.XXXXXX)"
trap 'rm -rf "$work"' EXIT
win() { local p="$1"; echo "Z:${p//\//\\}"; }
secret=0123456789abcdef0102
status=0
for size in 0 1048576 3000001; do
  head -c "$size" /dev/urandom > "$work/plain"
  bash "$run" --say-exit "$kxseal" seal "$(win "$work/plain")" "$(win "$work/sealed")" "$secret" </dev/null >/dev/null
  if python3 "$here/seal_reference.py" "$secret" "$work/sealed" "$work/out" && cmp -s "$work/plain" "$work/out"; then
    echo "ok: size $size read by the reference"
  else
    echo "FAIL: size $size not read back by the reference" >&2; status=1
  fi
  if python3 "$here/seal_reference.py" 0123456789abcdef0103 "$work/sealed" "$work/out" 2>/dev/null; then
    echo "FAIL: size $size: the reference took the wrong secret" >&2; status=1
  fi
done
exit $status
