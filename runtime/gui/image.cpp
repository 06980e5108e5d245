#include "runtime/gui/image.h"

#include <windows.h>

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/gui/image_codec.h"
#include "runtime/gui/image_internal.h"
#include "runtime/gui/png.h"

namespace kx {

void RegisterImageViewer();  // image_viewer.cpp

namespace {

constexpr intptr_t kImageLimit = 100000;
constexpr int32_t kLargestSide = 32000;
constexpr int kCodecCapacity = 16;

ObjectTable* imageTable = nullptr;

// Codec lists: filled at start-up, never shrink.
const ImageCodec* decoders[kCodecCapacity];
int decoderCount = 0;
const ImageCodec* encoders[kCodecCapacity];
int encoderCount = 0;

void Register(const ImageCodec** list, int* count, const ImageCodec* codec) {
  for (int i = 0; i < *count; ++i) {
    if (list[i] == codec) return;
  }
  if (*count < kCodecCapacity) list[(*count)++] = codec;
}

void CheckImageNumber(intptr_t image) { CheckObjectNumber(ImageTable(), image); }
void CheckImageObject(intptr_t image) { CheckObject(ImageTable(), image); }

void CheckImageSize(int32_t width, int32_t height) {
  if (width < 1) ReportError("Negative", "Width");
  if (height < 1) ReportError("Negative", "Height");
  if (width > kLargestSide) ReportLibraryError(&ImageLibrary, "WidthLarge");
  if (height > kLargestSide) ReportLibraryError(&ImageLibrary, "HeightLarge");
}

void ReleaseHandle(void* handle) {
  if (!handle) return;
  if (IsIconHandle(handle)) {
    DestroyIcon(static_cast<HICON>(handle));
  } else {
    DeleteObject(static_cast<HGDIOBJ>(handle));
  }
}

// Bitmap filled by a registered decoder; 0 if it fails.
HBITMAP DecodedBitmap(const ImageCodec* codec, int answer, uint8_t flags) {
  const int32_t width = codec->width();
  const int32_t height = codec->height();
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) {
    codec->close();
    return nullptr;
  }
  const int32_t depth = answer == CodecAlpha ? 32 : 24;
  const int32_t pitch = ImageRowPitch(width, depth);
  const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(depth);
  info.bmiHeader.biCompression = BI_RGB;
  HBITMAP bitmap = nullptr;
  if (flags & ImageDeviceDependent) {
    uint8_t* buffer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!buffer) {
      codec->close();
      return nullptr;
    }
    if (codec->decode(buffer, pitch, flags)) {
      HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
      bitmap = CreateCompatibleBitmap(display, width, height);
      if (bitmap && SetDIBits(display, bitmap, 0, static_cast<UINT>(height), buffer, &info,
                              DIB_RGB_COLORS) == 0) {
        DeleteObject(bitmap);
        bitmap = nullptr;
      }
      DeleteDC(display);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return bitmap;
  }
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  void* bits = nullptr;
  bitmap = CreateDIBSection(display, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  DeleteDC(display);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    codec->close();
    return nullptr;
  }
  if (!codec->decode(static_cast<uint8_t*>(bits), pitch, flags)) {
    DeleteObject(bitmap);
    return nullptr;
  }
  GdiFlush();
  return bitmap;
}

// Size and depth of an image handle: the bitmap, or an icon's colour bitmap
// (its mask, half height, for an icon without colours).
bool DescribeHandle(void* handle, int32_t* width, int32_t* height, int32_t* depth) {
  BITMAP b{};
  if (!IsIconHandle(handle)) {
    if (!GetObjectA(static_cast<HBITMAP>(handle), sizeof b, &b)) return false;
    *width = b.bmWidth;
    *height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
    *depth = b.bmBitsPixel;
    return true;
  }
  ICONINFO icon{};
  if (!GetIconInfo(static_cast<HICON>(handle), &icon)) return false;
  bool ok = false;
  if (icon.hbmColor && GetObjectA(icon.hbmColor, sizeof b, &b)) {
    *width = b.bmWidth;
    *height = b.bmHeight;
    *depth = b.bmBitsPixel;
    ok = true;
  } else if (icon.hbmMask && GetObjectA(icon.hbmMask, sizeof b, &b)) {
    *width = b.bmWidth;
    *height = b.bmHeight / 2;
    *depth = 1;
    ok = true;
  }
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  return ok;
}

}  // namespace

ObjectTable* ImageTable() {
  if (!imageTable) {
    imageTable = CreateObjectTable(sizeof(ImageObject), 16, FreeImage, "#Image", kImageLimit - 1);
  }
  return imageTable;
}

bool IsIconHandle(void* handle) { return GetObjectType(static_cast<HGDIOBJ>(handle)) != OBJ_BITMAP; }

HBITMAP MakeImageBitmap(int32_t width, int32_t height, uint8_t flags, int32_t depth) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (!display) return nullptr;
  HBITMAP bitmap = nullptr;
  if (flags & ImageDeviceDependent) {
    bitmap = CreateCompatibleBitmap(display, width, height);
  } else {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(depth);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(display, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  DeleteDC(display);
  return bitmap;
}

void RegisterImageDecoder(const ImageCodec* codec) { Register(decoders, &decoderCount, codec); }
void RegisterImageEncoder(const ImageCodec* codec) { Register(encoders, &encoderCount, codec); }
int32_t ImageDecoderCount() { return decoderCount; }

const ImageCodec* FindImageDecoder(const uint8_t* memory, int32_t size, int* answer) {
  for (int i = 0; i < decoderCount; ++i) {
    const int found = decoders[i]->check(memory, size);
    if (found != CodecNotThisFormat) {
      *answer = found;
      return decoders[i];
    }
  }
  return nullptr;
}

void ImageLibraryStart() {
  decoderCount = 0;
  ImageTable();
  RegisterImageViewer();
}

void ImageLibraryEnd() {
  if (imageTable) FreeAllObjects(imageTable);
}

void UsePNGImageDecoder() { RegisterImageDecoder(PngDecoder()); }
void UsePNGImageEncoder() { RegisterImageEncoder(PngEncoder()); }

ImageObject* FindImage(intptr_t image) {
  return static_cast<ImageObject*>(FindObject(ImageTable(), image));
}

intptr_t CatchImage(intptr_t image, const void* memory, int32_t size) {
  CheckImageNumber(image);
  if (!memory) ReportError("NullPointer");
  if (!memory || size <= 0 || image < DynamicNumber) return 0;
  const uint8_t* data = static_cast<const uint8_t*>(memory);
  const uint8_t flags = 0;

  void* record = AllocateObject(ImageTable(), image);
  if (!record) return 0;
  const intptr_t object = image == DynamicNumber ? DynamicIdentity(ImageTable(), record) : image;

  void* handle = nullptr;
  if (LooksLikeBmp(data, size)) {
    handle = BitmapFromBmpData(data, size, flags);
  } else if (LooksLikeIco(data, size)) {
    handle = IconFromIcoData(data, size);
  } else {
    int answer = 0;
    const ImageCodec* codec = FindImageDecoder(data, size, &answer);
    if (codec) handle = DecodedBitmap(codec, answer, flags);
  }
  int32_t width = 0, height = 0, depth = 0;
  if (!handle || !DescribeHandle(handle, &width, &height, &depth) || width > kLargestSide ||
      height > kLargestSide) {
    ReleaseHandle(handle);
    FreeObject(ImageTable(), object);
    return 0;
  }
  ImageObject* img = static_cast<ImageObject*>(record);
  img->width = static_cast<int16_t>(width);
  img->height = static_cast<int16_t>(height);
  img->depth = static_cast<uint8_t>(depth);
  img->flags = flags;
  img->handle = handle;  // last: the image exists from here on
  return image == DynamicNumber ? object : reinterpret_cast<intptr_t>(handle);
}

intptr_t ImageID(intptr_t image) {
  CheckImageObject(image);
  ImageObject* img = FindImage(image);
  return img ? reinterpret_cast<intptr_t>(img->handle) : 0;
}

intptr_t ResizeImage(intptr_t image, int32_t width, int32_t height, int32_t mode) {
  CheckImageObject(image);
  CheckImageSize(width, height);
  ImageObject* img = FindImage(image);
  if (!img || !img->handle) return 0;
  if (width == img->width && height == img->height) return reinterpret_cast<intptr_t>(img->handle);
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) return 0;
  const int32_t depth = img->depth == 32 ? 32 : 24;
  HBITMAP resized = MakeImageBitmap(width, height, img->flags, depth);
  if (!resized) return 0;

  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HDC target = CreateCompatibleDC(display);
  HGDIOBJ oldTarget = SelectObject(target, resized);
  BOOL stretched = FALSE;
  if (IsIconHandle(img->handle)) {
    // An icon cannot be selected into a device context: it is drawn
    // stretched instead, and the image becomes a bitmap.
    stretched = DrawIconEx(target, 0, 0, static_cast<HICON>(img->handle), width, height, 0, nullptr,
                           DI_NORMAL);
  } else {
    HDC source = CreateCompatibleDC(display);
    HGDIOBJ oldSource = SelectObject(source, img->handle);
    if (mode == 0) {
      SetStretchBltMode(target, HALFTONE);
      SetBrushOrgEx(target, 0, 0, nullptr);
    } else {
      SetStretchBltMode(target, COLORONCOLOR);
    }
    stretched = StretchBlt(target, 0, 0, width, height, source, 0, 0, img->width, img->height, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);
  }
  SelectObject(target, oldTarget);
  DeleteDC(target);
  DeleteDC(display);

  ReleaseHandle(img->handle);
  if (!stretched) {
    DeleteObject(resized);
    resized = nullptr;
  }
  img->handle = resized;
  img->width = static_cast<int16_t>(width);
  img->height = static_cast<int16_t>(height);
  img->depth = static_cast<uint8_t>(depth);
  if (!resized) FreeObject(ImageTable(), image);
  return reinterpret_cast<intptr_t>(resized);
}

void FreeImage(intptr_t image) {
  if (image == DynamicNumber) return;
  ImageObject* img = FindImage(image);
  if (!img) return;
  ReleaseHandle(img->handle);
  img->handle = nullptr;
  FreeObject(ImageTable(), image);
}

}  // namespace kx
