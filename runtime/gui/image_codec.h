// Image codecs: one descriptor per format, registered once into the
// program-wide decoder and encoder lists of the Image library.
#pragma once

#include <cstdint>

namespace kx {

// Answers of a decoder's check.
constexpr int CodecNotThisFormat = 0;
constexpr int CodecNoAlpha = 1;     // decodes to 24 bits per pixel
constexpr int CodecAlpha = 2;       // decodes to 32 bits per pixel

struct ImageCodec {
  // Looks at a memory block of size bytes; keeps what decode needs as the
  // program-wide decoding state.
  int (*check)(const uint8_t* memory, int32_t size);
  int32_t (*width)();
  int32_t (*height)();
  // Writes the image just checked, top row first: row i at rows + i * pitch
  // (BGR or BGRA).  Returns 1 on success; on failure or not, the decoding
  // state is released.
  int (*decode)(uint8_t* rows, int32_t pitch, int32_t flags);
  // Drops the decoding state of a check without decoding.
  void (*close)();
  // Encoders: writes a file from the rows of a bottom-up 24-bit bitmap.
  int (*encode)(const char* fileName, const uint8_t* rows, int32_t width, int32_t height,
                int32_t pitch);
};

// Registration (each descriptor once; later calls with it do nothing).
void RegisterImageDecoder(const ImageCodec* codec);
void RegisterImageEncoder(const ImageCodec* codec);
int32_t ImageDecoderCount();

// The registered decoder that recognises the block (its check answer in
// *answer), nullptr if none does.
const ImageCodec* FindImageDecoder(const uint8_t* memory, int32_t size, int* answer);

// Row pitch of a bitmap made here: width x 4 for 32 bits, the 24-bit row
// length rounded up to a multiple of 4 otherwise.
inline int32_t ImageRowPitch(int32_t width, int32_t depth) {
  return depth == 32 ? width * 4 : width * 3 + (width & 3);
}

}  // namespace kx
