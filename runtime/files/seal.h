// Sealed files: a file encrypted into another with a short secret, and back.
//
// The crypto is the platform's (Windows CNG: BCryptGenRandom, AES in GCM
// chaining mode, HMAC-SHA256); nothing here computes a cipher or a hash by
// hand.  Both directions stream through two buffers of one chunk each, so a
// file of any size costs the same memory.
//
// Format of a sealed file (all that a reader needs):
//
//   header, 25 bytes:
//     8 bytes   the magic text "KXSEALED" (ASCII)
//     1 byte    the format version, 1
//     16 bytes  the salt, random per sealed file
//   then the chunks, one after the other, up to the end of the file:
//     the plaintext is cut into pieces of SealChunkSize (1,048,576) bytes;
//     the last piece holds the rest (1 to 1,048,576 bytes; 0 bytes only when
//     the whole plaintext is empty, which gives exactly one chunk).  Piece i
//     (counted from 0) is stored as its AES-256-GCM ciphertext (as long as
//     the piece) followed by its 16-byte tag, with
//       nonce            12 bytes: i as a big-endian unsigned integer
//       associated data  1 byte: 1 for the last chunk, 0 for every other
//   key: HKDF with SHA-256 (RFC 5869), input key material = the secret's
//     bytes, salt = the header's salt, info = the ASCII text "KXSEAL key",
//     32 bytes of output = the AES-256 key.
//
// A reader takes records of SealChunkSize + 16 bytes; a shorter record, or a
// full one that ends the file, is the last chunk.  So a changed byte, chunks
// swapped, dropped or cut off at the end, or a wrong secret all fail a tag.
#pragma once

#include <cstdint>

namespace kx {

constexpr int32_t SealChunkSize = 1 << 20;
constexpr int32_t SealTagSize = 16;
constexpr int32_t SealSaltSize = 16;
constexpr int32_t SealHeaderSize = 8 + 1 + SealSaltSize;
constexpr uint8_t SealVersion = 1;

// Fills the buffer with bytes of the system's random generator; 1 on
// success, 0 when the generator failed (the buffer is then undefined).
int32_t RandomBytes(void* buffer, int32_t length);
// 1 when the file begins as a sealed file does (its magic), else 0.
int32_t IsSealedFile(const char* path);

// Seals the source file into the destination (created, or emptied when it
// exists) with a fresh salt.  1 on success; 0 when a file could not be read
// or written or the platform's crypto failed (no destination is left then).
int32_t SealFile(const char* source, const char* destination, const void* secret, int32_t secretLength);

// Opens a sealed source into the destination, checking every chunk's tag as
// it goes.  1 when the whole file was genuine and written; 0 when it was not
// a sealed file, a tag failed (damage, wrong secret, chunks missing or out of
// order), or a file could not be read or written.  On 0 the destination is
// removed, so no part of a damaged plaintext is left behind.
int32_t UnsealFile(const char* source, const char* destination, const void* secret, int32_t secretLength);

}  // namespace kx
