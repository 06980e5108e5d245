// Image files made in memory for the image and gadget tests: PNG through
// libpng's writer, Windows bitmap and icon files byte by byte.
#pragma once

#include <windows.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace kxtest {

// Colour of pixel (x, y) as 0xAARRGGBB.
using PixelFunction = std::function<uint32_t(int x, int y)>;

inline void AppendPng(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// A PNG of the colour type and bit depth; the pixel function's channels are
// scaled to the depth (gray takes the green channel; a palette image uses
// the colours in their order of first appearance).
inline std::string MakePng(int width, int height, int colourType, int bitDepth, const PixelFunction& pixel,
                           bool interlaced = false) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_color> palette;
  std::vector<uint32_t> paletteArgb;
  std::vector<std::vector<uint8_t>> rows(height);
  const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3 : colourType == PNG_COLOR_TYPE_RGBA ? 4
                       : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  const int bytesPerSample = bitDepth == 16 ? 2 : 1;
  for (int y = 0; y < height; ++y) {
    std::vector<uint8_t>& row = rows[y];
    row.assign(static_cast<size_t>(width) * channels * bytesPerSample + 8, 0);
    for (int x = 0; x < width; ++x) {
      const uint32_t c = pixel(x, y);
      uint8_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
      uint8_t samples[4];
      int n = 0;
      if (colourType == PNG_COLOR_TYPE_PALETTE) {
        size_t index = 0;
        while (index < paletteArgb.size() && paletteArgb[index] != c) ++index;
        if (index == paletteArgb.size()) {
          paletteArgb.push_back(c);
          palette.push_back(png_color{r, g, b});
        }
        samples[n++] = static_cast<uint8_t>(index);
      } else if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        samples[n++] = g;
        if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) samples[n++] = a;
      } else {
        samples[n++] = r;
        samples[n++] = g;
        samples[n++] = b;
        if (colourType == PNG_COLOR_TYPE_RGBA) samples[n++] = a;
      }
      for (int s = 0; s < n; ++s) {
        if (bitDepth == 16) {
          row[(static_cast<size_t>(x) * n + s) * 2] = samples[s];
          row[(static_cast<size_t>(x) * n + s) * 2 + 1] = samples[s];
        } else if (bitDepth == 8) {
          row[static_cast<size_t>(x) * n + s] = samples[s];
        } else {
          // 1, 2 or 4 bits: gray scaled down, palette index as it is.
          const int value = colourType == PNG_COLOR_TYPE_PALETTE ? samples[s] : samples[s] >> (8 - bitDepth);
          const int bit = x * bitDepth;
          row[bit / 8] |= static_cast<uint8_t>(value << (8 - bitDepth - bit % 8));
        }
      }
    }
  }
  png_set_write_fn(png, &out, AppendPng, nullptr);
  png_set_IHDR(png, info, width, height, bitDepth, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  }
  png_write_info(png, info);
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

inline void PutWord(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 255));
  s.push_back(static_cast<char>(v >> 8));
}
inline void PutDword(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

inline std::string InfoHeader(int width, int height, int bits, uint32_t colours = 0) {
  std::string h;
  PutDword(h, 40);
  PutDword(h, static_cast<uint32_t>(width));
  PutDword(h, static_cast<uint32_t>(height));
  PutWord(h, 1);
  PutWord(h, static_cast<uint16_t>(bits));
  PutDword(h, 0);  // BI_RGB
  PutDword(h, 0);
  PutDword(h, 0);
  PutDword(h, 0);
  PutDword(h, colours);
  PutDword(h, 0);
  return h;
}

// Bottom-up rows of a 24- or 32-bit bitmap from the pixel function.
inline std::string DibRows(int width, int height, int bits, const PixelFunction& pixel) {
  std::string rows;
  const int stride = ((width * bits + 31) / 32) * 4;
  for (int y = height - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      const uint32_t c = pixel(x, y);
      row.push_back(static_cast<char>(c & 255));
      row.push_back(static_cast<char>((c >> 8) & 255));
      row.push_back(static_cast<char>((c >> 16) & 255));
      if (bits == 32) row.push_back(static_cast<char>(c >> 24));
    }
    row.resize(static_cast<size_t>(stride), '\0');
    rows += row;
  }
  return rows;
}

inline std::string MakeBmp(int width, int height, int bits, const PixelFunction& pixel) {
  const std::string info = InfoHeader(width, height, bits);
  const std::string rows = DibRows(width, height, bits, pixel);
  std::string file = "BM";
  PutDword(file, static_cast<uint32_t>(14 + info.size() + rows.size()));
  PutDword(file, 0);
  PutDword(file, static_cast<uint32_t>(14 + info.size()));
  return file + info + rows;
}

struct IconEntry {
  int size;   // width = height
  int bits;   // 4, 8 or 32 (4 and 8: a gray palette)
  uint32_t colour;
};

// An icon file with the entries in order; each picture is one colour with an
// empty (opaque) mask.
inline std::string MakeIco(const std::vector<IconEntry>& entries) {
  std::vector<std::string> images;
  for (const IconEntry& e : entries) {
    const uint32_t colours = e.bits <= 8 ? (1u << e.bits) : 0;
    std::string image = InfoHeader(e.size, e.size * 2, e.bits, colours);
    for (uint32_t i = 0; i < colours; ++i) PutDword(image, i == 1 ? (e.colour & 0xFFFFFF) : i * 0x010101);
    if (e.bits == 32) {
      image += DibRows(e.size, e.size, 32, [&](int, int) { return e.colour | 0xFF000000u; });
    } else {
      const int stride = ((e.size * e.bits + 31) / 32) * 4;
      std::string row(static_cast<size_t>(stride), '\0');
      for (int x = 0; x < e.size; ++x) {
        const int bit = x * e.bits;
        row[bit / 8] = static_cast<char>(row[bit / 8] | (1 << (8 - e.bits - bit % 8)));
      }
      for (int y = 0; y < e.size; ++y) image += row;
    }
    image += std::string(static_cast<size_t>(((e.size + 31) / 32) * 4 * e.size), '\0');
    images.push_back(image);
  }
  std::string file;
  PutWord(file, 0);
  PutWord(file, 1);
  PutWord(file, static_cast<uint16_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    file.push_back(static_cast<char>(entries[i].size & 255));
    file.push_back(static_cast<char>(entries[i].size & 255));
    file.push_back(static_cast<char>(entries[i].bits <= 8 ? (1 << entries[i].bits) & 255 : 0));
    file.push_back('\0');
    PutWord(file, 1);
    PutWord(file, static_cast<uint16_t>(entries[i].bits));
    PutDword(file, static_cast<uint32_t>(images[i].size()));
    PutDword(file, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::string& image : images) file += image;
  return file;
}

// Pixels of a bitmap (or an icon drawn on black), top row first, 0x00RRGGBB.
inline std::vector<uint32_t> PixelsOf(void* handle, int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  HBITMAP source = static_cast<HBITMAP>(handle);
  HBITMAP drawn = nullptr;
  if (GetObjectType(handle) != OBJ_BITMAP) {
    drawn = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, drawn);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawIconEx(dc, 0, 0, static_cast<HICON>(handle), width, height, 0, nullptr, DI_NORMAL);
    SelectObject(dc, old);
    DeleteDC(dc);
    source = drawn;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  GetDIBits(screen, source, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (drawn) DeleteObject(drawn);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

}  // namespace kxtest
