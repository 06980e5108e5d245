// Image lists of report lists and tab panels: a small list (and a large one
// for report lists) with a blank first image, and a cache that maps image
// handles to their index.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

namespace kx {

struct GadgetImageList {
  HIMAGELIST small;
  HIMAGELIST large;       // report lists only
  intptr_t* cache;        // pairs (image handle, index)
  int32_t cacheCount;
  int32_t cacheCapacity;  // 25, grows by 25
};

GadgetImageList* CreateGadgetImageList(bool withLarge);
// Index of the image (bitmap or icon handle) in the lists; -1 on failure.
int32_t AddGadgetImage(GadgetImageList* list, HANDLE image);
// Empties both lists, gives them their blank image again and forgets the cache.
void ClearGadgetImageList(GadgetImageList* list);
void FreeGadgetImageList(GadgetImageList* list);

}  // namespace kx
