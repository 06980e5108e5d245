// Report lists ("SysListView32"): shared between the list's operations, its
// colour bookkeeping and its drawing.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "runtime/gui/gadget.h"

namespace kx {

// Data words of a report list.
enum ListIconWord { ListLongest = 0, ListImages = 1, ListGridColour = 2, ListOptions = 3 };
constexpr intptr_t ListOptionGridLines = 4;

// ---- item colour arrays ---------------------------------------------------------
// Heap block per item (its lParam): one word of item data, then per column a
// pair (front colour + 1, back colour + 1); 0 = the default colour.

intptr_t* NewColourArray(int32_t columns);
void FreeColourArray(intptr_t* array);
int32_t ColourArrayColumns(const intptr_t* array);
// Grows the array by one pair at column (the pairs from there move right);
// returns the new block, or the old one unchanged if the heap is full.
intptr_t* InsertColourColumn(intptr_t* array, int32_t column);
// Drops the pair of column (the pairs behind it move left).
intptr_t* RemoveColourColumn(intptr_t* array, int32_t column);
// Stored colour of type 1 (front) or 2 (back) for a column, -1 = default.
intptr_t StoredColour(const intptr_t* array, int32_t column, int32_t type);
void StoreColour(intptr_t* array, int32_t column, int32_t type, intptr_t colour);

// ---- the control ----------------------------------------------------------------

int32_t ListColumnCount(HWND list);
intptr_t* ItemColours(HWND list, int32_t item);           // nullptr if it has none
intptr_t* ItemColoursMade(HWND list, int32_t item);       // made on first need
void ForEachItemColours(HWND list, intptr_t* (*change)(intptr_t* array, int32_t value), int32_t value);

// Program-wide default colours of report lists (kept on the first creation).
COLORREF ListDefaultTextColour();
COLORREF ListDefaultBackColour();

// NM_CUSTOMDRAW of a report list.
LRESULT ListCustomDraw(GadgetObject* g, NMLVCUSTOMDRAW* draw);

}  // namespace kx
