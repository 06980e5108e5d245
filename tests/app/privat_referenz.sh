#!/usr/bin/env bash
# The reference reader (tests/files/seal_reference.py, standard HKDF-SHA256
# and AES-256-GCM) opens the private transfer that Velmora.exe sent in
# privat_test: the parts as the server held them, joined, and the private
# code; the archive it recovers holds the sent file byte for byte.
#   privat_referenz.sh FOLDER   (1.quon ..., code.txt, gesendet.bin)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
folder="$1"
work="$(mktemp -d /tmp/velmora-referenz.XXXXXX)"
trap 'rm -rf "$work"' EXIT
for k in $(ls "$folder" | grep -E '^[0-9]+\.quon$' | sort -n); do cat "$folder/$k"; done >"$work/joined"
python3 "$here/../files/seal_reference.py" --code "$(cat "$folder/code.txt")" "$work/joined" "$work/archive.zip"
unzip -tq "$work/archive.zip"
[ "$(zipinfo -1 "$work/archive.zip" | wc -l)" = 1 ]
unzip -p "$work/archive.zip" | cmp - "$folder/gesendet.bin"
echo "ok: the reference reader recovered the archive of code $(cat "$folder/code.txt")"
