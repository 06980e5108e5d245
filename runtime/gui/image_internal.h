// Shared between the Image library's files: making bitmaps and reading the
// bitmap and icon file formats.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

struct ObjectTable;
ObjectTable* ImageTable();

// A bitmap of width x height: display-compatible with ImageDeviceDependent,
// else a DIB section (bottom-up, depth bits per pixel).  0 on failure.
HBITMAP MakeImageBitmap(int32_t width, int32_t height, uint8_t flags, int32_t depth);

// Images from the Windows bitmap and icon file formats.  Every offset and
// byte count of the data's headers is checked against size before it is
// read; damaged data gives 0.
HBITMAP BitmapFromBmpData(const uint8_t* data, int32_t size, uint8_t flags);
HICON IconFromIcoData(const uint8_t* data, int32_t size);
bool LooksLikeBmp(const uint8_t* data, int32_t size);
bool LooksLikeIco(const uint8_t* data, int32_t size);

// 1 for an icon handle, 0 for a bitmap.
bool IsIconHandle(void* handle);

}  // namespace kx
