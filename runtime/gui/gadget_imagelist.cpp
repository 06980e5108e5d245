#include "runtime/gui/gadget_imagelist.h"

namespace kx {
namespace {

constexpr int32_t kCacheStep = 25;

struct Blank {
  HBITMAP colour;
  HBITMAP mask;
};

// Blank images, one per size, made once for the program.
Blank smallBlank, largeBlank;

Blank& BlankOf(bool large) {
  Blank& b = large ? largeBlank : smallBlank;
  if (!b.mask) {
    const int w = GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
    const int h = GetSystemMetrics(large ? SM_CYICON : SM_CYSMICON);
    HDC screen = GetDC(nullptr);
    b.colour = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    // A mask of ones: the blank image is transparent everywhere.
    const int stride = ((w + 15) / 16) * 2;
    BYTE* ones = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(stride) * h));
    if (ones) {
      FillMemory(ones, static_cast<size_t>(stride) * h, 0xFF);
      b.mask = CreateBitmap(w, h, 1, 1, ones);
      HeapFree(GetProcessHeap(), 0, ones);
    }
  }
  return b;
}

void AddBlank(HIMAGELIST list, bool large) {
  if (!list) return;
  Blank& b = BlankOf(large);
  ImageList_Add(list, b.colour, b.mask);
}

HIMAGELIST NewList(bool large) {
  const int w = GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
  const int h = GetSystemMetrics(large ? SM_CYICON : SM_CYSMICON);
  HIMAGELIST list = ImageList_Create(w, h, ILC_COLOR32 | ILC_MASK, 1, 1);
  AddBlank(list, large);
  return list;
}

// The bitmap at the list's size: the bitmap itself when it fits, else a
// stretched copy (*made set, to be deleted by the caller).
HBITMAP Fitted(HIMAGELIST list, HBITMAP bitmap, bool* made) {
  *made = false;
  int w = 0, h = 0;
  ImageList_GetIconSize(list, &w, &h);
  BITMAP b{};
  if (!GetObjectA(bitmap, sizeof b, &b)) return nullptr;
  const int height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
  if (b.bmWidth == w && height == h) return bitmap;
  HDC screen = GetDC(nullptr);
  HBITMAP copy = CreateCompatibleBitmap(screen, w, h);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  HGDIOBJ oldFrom = SelectObject(from, bitmap);
  HGDIOBJ oldTo = SelectObject(to, copy);
  SetStretchBltMode(to, HALFTONE);
  SetBrushOrgEx(to, 0, 0, nullptr);
  StretchBlt(to, 0, 0, w, h, from, 0, 0, b.bmWidth, height, SRCCOPY);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteDC(from);
  DeleteDC(to);
  ReleaseDC(nullptr, screen);
  *made = true;
  return copy;
}

int AddBitmap(HIMAGELIST list, HBITMAP bitmap, bool large) {
  if (!list) return -1;
  bool made = false;
  HBITMAP fitted = Fitted(list, bitmap, &made);
  if (!fitted) return -1;
  const int index = ImageList_Add(list, fitted, BlankOf(large).mask);
  if (made) DeleteObject(fitted);
  return index;
}

}  // namespace

GadgetImageList* CreateGadgetImageList(bool withLarge) {
  GadgetImageList* list =
      static_cast<GadgetImageList*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(GadgetImageList)));
  if (!list) return nullptr;
  list->small = NewList(false);
  if (withLarge) list->large = NewList(true);
  list->cache = static_cast<intptr_t*>(HeapAlloc(GetProcessHeap(), 0, sizeof(intptr_t) * 2 * kCacheStep));
  list->cacheCapacity = list->cache ? kCacheStep : 0;
  return list;
}

int32_t AddGadgetImage(GadgetImageList* list, HANDLE image) {
  if (!list || !image) return -1;
  for (int32_t i = 0; i < list->cacheCount; ++i) {
    if (list->cache[2 * i] == reinterpret_cast<intptr_t>(image)) return static_cast<int32_t>(list->cache[2 * i + 1]);
  }
  int index = -1;
  if (GetObjectType(image) == OBJ_BITMAP) {
    index = AddBitmap(list->small, static_cast<HBITMAP>(image), false);
    if (list->large) AddBitmap(list->large, static_cast<HBITMAP>(image), true);
  } else {
    index = ImageList_ReplaceIcon(list->small, -1, static_cast<HICON>(image));
    if (list->large) ImageList_ReplaceIcon(list->large, -1, static_cast<HICON>(image));
  }
  if (index < 0) return -1;
  if (list->cacheCount == list->cacheCapacity) {
    const int32_t capacity = list->cacheCapacity + kCacheStep;
    void* grown = list->cache ? HeapReAlloc(GetProcessHeap(), 0, list->cache, sizeof(intptr_t) * 2 * capacity)
                              : HeapAlloc(GetProcessHeap(), 0, sizeof(intptr_t) * 2 * capacity);
    if (!grown) return index;
    list->cache = static_cast<intptr_t*>(grown);
    list->cacheCapacity = capacity;
  }
  list->cache[2 * list->cacheCount] = reinterpret_cast<intptr_t>(image);
  list->cache[2 * list->cacheCount + 1] = index;
  ++list->cacheCount;
  return index;
}

void ClearGadgetImageList(GadgetImageList* list) {
  if (!list) return;
  if (list->small) {
    ImageList_RemoveAll(list->small);
    AddBlank(list->small, false);
  }
  if (list->large) {
    ImageList_RemoveAll(list->large);
    AddBlank(list->large, true);
  }
  list->cacheCount = 0;
}

void FreeGadgetImageList(GadgetImageList* list) {
  if (!list) return;
  if (list->small) ImageList_Destroy(list->small);
  if (list->large) ImageList_Destroy(list->large);
  if (list->cache) HeapFree(GetProcessHeap(), 0, list->cache);
  HeapFree(GetProcessHeap(), 0, list);
}

}  // namespace kx
