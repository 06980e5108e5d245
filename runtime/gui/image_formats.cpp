// Windows bitmap and icon files from memory.  The data may be damaged or
// hostile: every offset and count taken from its headers is checked against
// the block's size before anything is read at it.
#include <windows.h>

#include <cstring>

#include "runtime/gui/image.h"
#include "runtime/gui/image_internal.h"

namespace kx {
namespace {

constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderSize = 40;
constexpr int32_t kIconDirectorySize = 6;
constexpr int32_t kIconEntrySize = 16;
constexpr int32_t kLargestSide = 32000;

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Dword(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Does [offset, offset + count) lie inside a block of size bytes?
bool Inside(int64_t offset, int64_t count, int64_t size) {
  return offset >= 0 && count >= 0 && offset <= size && count <= size - offset;
}

bool ValidBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int64_t RowBytes(int64_t width, int bits) { return ((width * bits + 31) / 32) * 4; }

// Colour table entries that follow a BITMAPINFOHEADER; -1 if its count lies.
int64_t ColourEntries(const BITMAPINFOHEADER& h) {
  if (h.biBitCount <= 8) {
    const int64_t most = int64_t{1} << h.biBitCount;
    if (h.biClrUsed > most) return -1;
    return h.biClrUsed ? h.biClrUsed : most;
  }
  return h.biClrUsed;
}

// The header at data (biSize bytes available, at least 40), checked for
// values that GDI can use.
bool ReadInfoHeader(const uint8_t* data, int64_t available, BITMAPINFOHEADER* h) {
  if (available < kInfoHeaderSize) return false;
  memcpy(h, data, sizeof *h);
  if (h->biSize < static_cast<DWORD>(kInfoHeaderSize) || h->biSize > available) return false;
  if (h->biWidth < 1 || h->biWidth > kLargestSide || h->biHeight == 0) return false;
  if (h->biHeight < -kLargestSide || h->biHeight > 2 * kLargestSide) return false;
  if (h->biPlanes != 1 || !ValidBitCount(h->biBitCount)) return false;
  return true;
}

}  // namespace

bool LooksLikeBmp(const uint8_t* data, int32_t size) {
  return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

bool LooksLikeIco(const uint8_t* data, int32_t size) {
  return size >= kIconDirectorySize && Word(data) == 0 && Word(data + 2) == 1;
}

HBITMAP BitmapFromBmpData(const uint8_t* data, int32_t size, uint8_t flags) {
  if (size < kFileHeaderSize + kInfoHeaderSize) return nullptr;
  BITMAPINFOHEADER h;
  if (!ReadInfoHeader(data + kFileHeaderSize, size - kFileHeaderSize, &h)) return nullptr;
  if (h.biHeight > kLargestSide) return nullptr;
  int64_t masks = 0;
  if (h.biCompression == BI_BITFIELDS) {
    if (h.biBitCount != 16 && h.biBitCount != 32) return nullptr;
    if (h.biSize == static_cast<DWORD>(kInfoHeaderSize)) masks = 3;
  } else if (h.biCompression != BI_RGB) {
    return nullptr;  // compressed bitmaps are not taken
  }
  const int64_t colours = ColourEntries(h);
  if (colours < 0) return nullptr;
  if (!Inside(kFileHeaderSize, int64_t{h.biSize} + (masks + colours) * 4, size)) return nullptr;
  const int64_t height = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
  const int64_t offset = Dword(data + 10);
  if (!Inside(offset, RowBytes(h.biWidth, h.biBitCount) * height, size)) return nullptr;

  HBITMAP bitmap = MakeImageBitmap(h.biWidth, static_cast<int32_t>(height), flags, 32);
  if (!bitmap) return nullptr;
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const int lines = SetDIBits(display, bitmap, 0, static_cast<UINT>(height), data + offset,
                              reinterpret_cast<const BITMAPINFO*>(data + kFileHeaderSize),
                              DIB_RGB_COLORS);
  DeleteDC(display);
  if (lines == 0) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

HICON IconFromIcoData(const uint8_t* data, int32_t size) {
  const int32_t count = Word(data + 4);
  if (count < 1 || !Inside(kIconDirectorySize, int64_t{count} * kIconEntrySize, size)) return nullptr;
  // Among the entries of the first entry's size, the highest bit count; the
  // first one wins ties.
  const uint8_t* first = data + kIconDirectorySize;
  const uint8_t* chosen = first;
  for (int32_t i = 1; i < count; ++i) {
    const uint8_t* entry = first + i * kIconEntrySize;
    if (entry[0] == first[0] && entry[1] == first[1] && Word(entry + 6) > Word(chosen + 6)) {
      chosen = entry;
    }
  }
  const int64_t bytes = Dword(chosen + 8);
  const int64_t offset = Dword(chosen + 12);
  if (!Inside(offset, bytes, size)) return nullptr;

  // The entry's own header must describe a picture (colours and mask, the
  // height counting both) that its byte count holds.
  BITMAPINFOHEADER h;
  if (!ReadInfoHeader(data + offset, bytes, &h) || h.biHeight < 2 || h.biCompression != BI_RGB) {
    return nullptr;
  }
  const int64_t colours = ColourEntries(h);
  const int64_t half = h.biHeight / 2;
  const int64_t needed = int64_t{h.biSize} + colours * 4 + RowBytes(h.biWidth, h.biBitCount) * half +
                         RowBytes(h.biWidth, 1) * half;
  if (colours < 0 || needed > bytes) return nullptr;

  // CreateIconFromResourceEx wants a writable copy of its own.
  BYTE* copy = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(bytes)));
  if (!copy) return nullptr;
  memcpy(copy, data + offset, static_cast<size_t>(bytes));
  HICON icon = CreateIconFromResourceEx(copy, static_cast<DWORD>(bytes), TRUE, 0x30000, h.biWidth,
                                        static_cast<int>(half), 0);
  if (!icon && h.biBitCount != 16) {
    icon = CreateIconFromResource(copy, static_cast<DWORD>(bytes), TRUE, 0x30000);
  }
  HeapFree(GetProcessHeap(), 0, copy);
  return icon;
}

}  // namespace kx
