// The Image library's part of the debugger's library viewer: rows, the
// detail text of one image and its pixels.
#pragma once

#include <cstdint>

namespace kx {

// Detail text of an image into buffer (size bytes); returns buffer.
char* ImageDetailText(intptr_t image, char* buffer, int32_t size);

// The image's pixels for the viewer: a block of the process heap holding a
// 40-byte BITMAPINFOHEADER (32 bits, bottom-up) followed by width x height x 4
// bytes (its size in *size); nullptr if there is no such image.  The viewer
// hands it back to FreeImagePixels.
void* ImagePixels(intptr_t image, int32_t* size);
void FreeImagePixels(void* block);

}  // namespace kx
