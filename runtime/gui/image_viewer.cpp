#include "runtime/gui/image_viewer.h"

#include <cinttypes>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/gui/image.h"
#include "runtime/gui/image_internal.h"

namespace kx {
namespace {

void ImageListFirst() { BeginObjectIteration(ImageTable()); }

int ImageListNext(char* row, int32_t rowSize, intptr_t* object) {
  intptr_t number = 0;
  ImageObject* img = static_cast<ImageObject*>(NextObject(ImageTable(), &number));
  if (!img) return 0;
  snprintf(row, static_cast<size_t>(rowSize), "%" PRIdPTR "\t%i\t%i\t%i", number, img->width,
           img->height, img->depth);
  if (object) *object = number;
  return 1;
}

void ImageListDetail(intptr_t image, char* text, int32_t size) { ImageDetailText(image, text, size); }

void ImageListWalk(DebuggerListVisitor visit, void* context) {
  ImageListFirst();
  VisitDebuggerRows(ImageListNext, visit, context);
}

const DebuggerList imageList = {sizeof(DebuggerList),
                                DebuggerListRows | DebuggerListDetails | DebuggerListDataBlocks,
                                "KX_LIBRARY_Image",
                                "Image",
                                "#Image\t80\tWidth\t80\tHeight\t80\tDepth\t80",
                                ImageListWalk,
                                ImageListDetail,
                                ImagePixels,
                                FreeImagePixels};

}  // namespace

void RegisterImageViewer() { RegisterDebuggerList(&imageList); }

char* ImageDetailText(intptr_t image, char* buffer, int32_t size) {
  ImageObject* img = FindImage(image);
  if (!img) {
    snprintf(buffer, static_cast<size_t>(size), "Image not existing!\n(#Image: %i)", static_cast<int>(image));
    return buffer;
  }
  const intptr_t handle = reinterpret_cast<intptr_t>(img->handle);
  snprintf(buffer, static_cast<size_t>(size),
           "   #Image: %i\n%s %i ($%X)\n     Type: %s\n\n    Width: %i\n   Height: %i\n    Depth: %i",
           static_cast<int>(image), "  ImageID:", static_cast<int>(handle), static_cast<unsigned>(handle),
           IsIconHandle(img->handle) ? "Icon" : "Bitmap", img->width, img->height, img->depth);
  return buffer;
}

void* ImagePixels(intptr_t image, int32_t* size) {
  if (size) *size = 0;
  ImageObject* img = FindImage(image);
  if (!img || !img->handle || img->width < 1 || img->height < 1) return nullptr;
  const int32_t width = img->width, height = img->height;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  uint8_t* block =
      static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BITMAPINFOHEADER) + pixels));
  if (!block) return nullptr;
  BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(block);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 32;
  header->biCompression = BI_RGB;

  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HBITMAP source = static_cast<HBITMAP>(img->handle);
  HBITMAP drawn = nullptr;
  if (IsIconHandle(img->handle)) {
    // An icon is drawn on the button face first.
    drawn = CreateCompatibleBitmap(display, width, height);
    HDC dc = CreateCompatibleDC(display);
    HGDIOBJ old = SelectObject(dc, drawn);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(dc, 0, 0, static_cast<HICON>(img->handle), 0, 0, 0, nullptr, DI_NORMAL);
    SelectObject(dc, old);
    DeleteDC(dc);
    source = drawn;
  }
  GetDIBits(display, source, 0, static_cast<UINT>(height), block + sizeof(BITMAPINFOHEADER),
            reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
  if (drawn) DeleteObject(drawn);
  DeleteDC(display);
  if (size) *size = static_cast<int32_t>(sizeof(BITMAPINFOHEADER) + pixels);
  return block;
}

void FreeImagePixels(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace kx
