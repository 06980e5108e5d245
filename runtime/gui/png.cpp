#include "runtime/gui/png.h"

#include <windows.h>
#include <png.h>

#include <cstdio>
#include <cstring>

#include "runtime/gui/image_codec.h"

namespace kx {
namespace {

// Decoding state between check and decode (program-wide: images are made by
// one thread at a time).
struct PngReading {
  png_structp png;
  png_infop info;
  const uint8_t* memory;
  size_t size;
  size_t position;
  png_uint_32 width;
  png_uint_32 height;
  int alpha;
};

PngReading reading;

// The records of an image never hold more than 16-bit signed sizes.
constexpr png_uint_32 kLargestSide = 32000;

void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Copies from the memory block; a request beyond its end is a libpng error,
// so that a short or lying block never makes the decoder read past it.
void ReadMemory(png_structp png, png_bytep out, size_t length) {
  PngReading* r = static_cast<PngReading*>(png_get_io_ptr(png));
  if (length > r->size - r->position) png_error(png, "read past the end of the block");
  memcpy(out, r->memory + r->position, length);
  r->position += length;
}

void DropReading() {
  if (reading.png) png_destroy_read_struct(&reading.png, &reading.info, nullptr);
  reading.png = nullptr;
  reading.info = nullptr;
}

int CheckPng(const uint8_t* memory, int32_t size) {
  DropReading();
  if (!memory || size < 8 || png_sig_cmp(memory, 0, 8) != 0) return CodecNotThisFormat;
  reading.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (!reading.png) return CodecNotThisFormat;
  reading.info = png_create_info_struct(reading.png);
  if (!reading.info) {
    DropReading();
    return CodecNotThisFormat;
  }
  reading.memory = memory;
  reading.size = static_cast<size_t>(size);
  reading.position = 8;
  if (setjmp(png_jmpbuf(reading.png))) {
    DropReading();
    return CodecNotThisFormat;
  }
  png_set_user_limits(reading.png, kLargestSide, kLargestSide);
  png_set_read_fn(reading.png, &reading, ReadMemory);
  png_set_sig_bytes(reading.png, 8);
  png_read_info(reading.png, reading.info);
  reading.width = png_get_image_width(reading.png, reading.info);
  reading.height = png_get_image_height(reading.png, reading.info);
  reading.alpha = (png_get_color_type(reading.png, reading.info) & PNG_COLOR_MASK_ALPHA) != 0;
  return reading.alpha ? CodecAlpha : CodecNoAlpha;
}

int32_t PngWidth() { return static_cast<int32_t>(reading.width); }
int32_t PngHeight() { return static_cast<int32_t>(reading.height); }

int DecodePng(uint8_t* rows, int32_t pitch, int32_t flags) {
  if (!reading.png) return 0;
  if (setjmp(png_jmpbuf(reading.png))) {
    DropReading();
    return 0;
  }
  png_structp png = reading.png;
  png_infop info = reading.info;
  const int type = png_get_color_type(png, info);
  const int bits = png_get_bit_depth(png, info);
  if ((type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) && bits < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  // libpng also expands a palette's transparency to alpha: a 24-bit
  // destination keeps three channels.
  if (!reading.alpha) png_set_strip_alpha(png);
  if (bits == 16) png_set_strip_16(png);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t wanted = static_cast<size_t>(reading.width) * (reading.alpha ? 4 : 3);
  if (png_get_rowbytes(png, info) != wanted || wanted > static_cast<size_t>(pitch)) {
    png_error(png, "unexpected row layout");
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < reading.height; ++y) {
      png_read_row(png, rows + static_cast<size_t>(y) * static_cast<size_t>(pitch), nullptr);
    }
  }
  DropReading();
  return 1;
}

void WriteToFile(png_structp png, png_bytep data, size_t length) {
  if (fwrite(data, 1, length, static_cast<FILE*>(png_get_io_ptr(png))) != length) {
    png_error(png, "write failed");
  }
}

void FlushFile(png_structp png) { fflush(static_cast<FILE*>(png_get_io_ptr(png))); }

const ImageCodec pngDecoder = {CheckPng, PngWidth, PngHeight, DecodePng, DropReading, nullptr};
const ImageCodec pngEncoder = {nullptr, nullptr, nullptr, nullptr, nullptr, EncodePngFile};

}  // namespace

const ImageCodec* PngDecoder() { return &pngDecoder; }
const ImageCodec* PngEncoder() { return &pngEncoder; }

const char* PngLibraryVersion() { return png_get_libpng_ver(nullptr); }

int EncodePngFile(const char* fileName, const uint8_t* rows, int32_t width, int32_t height,
                  int32_t pitch) {
  if (!fileName || !rows || width < 1 || height < 1) return 0;
  FILE* file = fopen(fileName, "wb");
  if (!file) return 0;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile int written = 0;
  if (png && info) {
    if (setjmp(png_jmpbuf(png)) == 0) {
      png_set_write_fn(png, file, WriteToFile, FlushFile);
      png_set_filter(png, 0, PNG_FILTER_NONE);
      png_set_compression_level(png, 9);
      png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                   PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                   PNG_FILTER_TYPE_DEFAULT);
      png_write_info(png, info);
      png_set_bgr(png);
      for (int32_t y = height - 1; y >= 0; --y) {
        png_write_row(png, rows + static_cast<size_t>(y) * static_cast<size_t>(pitch));
      }
      png_write_end(png, info);
      written = 1;
    }
  }
  png_destroy_write_struct(&png, &info);
  if (fclose(file) != 0) written = 0;
  return written;
}

int SaveBitmapAsPng(void* bitmap, const char* fileName) {
  BITMAP b{};
  if (!bitmap || !GetObjectA(static_cast<HBITMAP>(bitmap), sizeof b, &b)) return 0;
  if (b.bmWidth < 1 || b.bmHeight == 0) return 0;
  const int32_t width = b.bmWidth;
  const int32_t height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
  const int32_t pitch = ImageRowPitch(width, 24);
  uint8_t* pixels = static_cast<uint8_t*>(
      HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(pitch) * static_cast<size_t>(height)));
  if (!pixels) return 0;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  const int got = GetDIBits(dc, static_cast<HBITMAP>(bitmap), 0, static_cast<UINT>(height), pixels,
                            &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  const int result = got == height ? EncodePngFile(fileName, pixels, width, height, pitch) : 0;
  HeapFree(GetProcessHeap(), 0, pixels);
  return result;
}

}  // namespace kx
