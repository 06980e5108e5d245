#!/usr/bin/env python3
"""Reference reader of sealed files, written from the format alone.

    seal_reference.py SECRET_HEX SEALED OUTPUT
    seal_reference.py --code PRIVATE_CODE SEALED OUTPUT

A private code is the folder number, then the 80-bit secret as 16 characters
of Crockford's base32 (0-9, A-Z without I, L, O, U; first character = top
five bits); dashes and blanks do not count, case does not matter, O reads as
0, I and L as 1.

Header: "KXSEALED", version byte 1, 16-byte salt.  Key: HKDF-SHA256 of the
secret with that salt and info "KXSEAL key", 32 bytes.  Chunks of 1 MiB of
plaintext, each AES-256-GCM with a 16-byte tag; nonce = the chunk index as 12
big-endian bytes; associated data = one byte, 1 for the last chunk, else 0.
Exits 0 when every tag checked and OUTPUT holds the plaintext, 1 otherwise
(OUTPUT is then removed).
"""
import os
import sys

from cryptography.exceptions import InvalidTag
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.ciphers.aead import AESGCM
from cryptography.hazmat.primitives.kdf.hkdf import HKDF

CHUNK = 1 << 20
TAG = 16


def unseal(secret, sealed):
    if len(sealed) < 25 + TAG or sealed[:8] != b"KXSEALED" or sealed[8] != 1:
        raise ValueError("not a sealed file")
    salt = sealed[9:25]
    key = HKDF(algorithm=hashes.SHA256(), length=32, salt=salt, info=b"KXSEAL key").derive(secret)
    aes = AESGCM(key)
    body = sealed[25:]
    out = []
    index = 0
    while True:
        record = body[:CHUNK + TAG]
        body = body[CHUNK + TAG:]
        last = not body
        out.append(aes.decrypt(index.to_bytes(12, "big"), record, b"\x01" if last else b"\x00"))
        index += 1
        if last:
            return b"".join(out)


CROCKFORD = "0123456789ABCDEFGHJKMNPQRSTVWXYZ"


def secret_of_code(code):
    text = code.upper().replace("-", "").replace(" ", "")
    text = text.replace("O", "0").replace("I", "1").replace("L", "1")
    value = 0
    for c in text[-16:]:
        value = value * 32 + CROCKFORD.index(c)
    return value.to_bytes(10, "big")


def main():
    args = sys.argv[1:]
    if args[0] == "--code":
        secret = secret_of_code(args[1])
        args = args[2:]
    else:
        secret = bytes.fromhex(args[0])
        args = args[1:]
    source, output = args
    with open(source, "rb") as f:
        sealed = f.read()
    try:
        plain = unseal(secret, sealed)
    except (ValueError, InvalidTag) as e:
        print("refused: %s" % (e.__class__.__name__,), file=sys.stderr)
        if os.path.exists(output):
            os.remove(output)
        return 1
    with open(output, "wb") as f:
        f.write(plain)
    return 0


if __name__ == "__main__":
    sys.exit(main())
