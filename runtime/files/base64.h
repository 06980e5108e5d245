// Base64 (RFC 4648 alphabet and padding, no line breaks), memory to memory.
#pragma once

#include <cstdint>

namespace kx {

// Encodes inputLength bytes; returns the characters written (without the
// terminating zero that follows them).  Needs 4 * ceil(inputLength / 3) + 1
// bytes of output; never writes past outputLength.
int32_t Base64Encode(const void* input, int32_t inputLength, void* output, int32_t outputLength);

// Decodes inputLength characters; returns the bytes written, 0 when the
// length is not a multiple of 4.  Needs inputLength / 4 * 3 + 1 bytes of
// output; never writes past outputLength.
int32_t Base64Decode(const void* input, int32_t inputLength, void* output, int32_t outputLength);

}  // namespace kx
