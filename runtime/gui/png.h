// PNG codec of the Image library (libpng), and a PNG writer for whole
// bitmaps that the screenshot tool uses.
#pragma once

#include <cstdint>

namespace kx {

struct ImageCodec;

// The descriptors (registered by UsePNGImageDecoder / UsePNGImageEncoder).
const ImageCodec* PngDecoder();
const ImageCodec* PngEncoder();

// libpng's own version string (the library the program is linked with).
const char* PngLibraryVersion();

// Writes rows of a bottom-up 24-bit BGR bitmap as an RGB PNG file (top row
// first), no filtering, compression level 9.  1 on success, 0 otherwise.
int EncodePngFile(const char* fileName, const uint8_t* rows, int32_t width, int32_t height,
                  int32_t pitch);

// Writes a bitmap (HBITMAP) as a PNG file through EncodePngFile.
int SaveBitmapAsPng(void* bitmap, const char* fileName);

}  // namespace kx
