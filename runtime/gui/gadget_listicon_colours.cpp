// Item colour arrays of report lists.  Their length follows the column
// count, read back from the block's own size.
#include <windows.h>

#include <cstring>

#include "runtime/gui/gadget_listicon.h"

namespace kx {
namespace {

size_t Words(const intptr_t* array) { return HeapSize(GetProcessHeap(), 0, array) / sizeof(intptr_t); }

}  // namespace

intptr_t* NewColourArray(int32_t columns) {
  if (columns < 0) columns = 0;
  return static_cast<intptr_t*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(intptr_t) * (1 + 2 * static_cast<size_t>(columns))));
}

void FreeColourArray(intptr_t* array) {
  if (array) HeapFree(GetProcessHeap(), 0, array);
}

int32_t ColourArrayColumns(const intptr_t* array) {
  return array ? static_cast<int32_t>((Words(array) - 1) / 2) : 0;
}

intptr_t* InsertColourColumn(intptr_t* array, int32_t column) {
  const int32_t columns = ColourArrayColumns(array);
  if (column < 0 || column > columns) column = columns;
  void* grown = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, array,
                            sizeof(intptr_t) * (1 + 2 * static_cast<size_t>(columns + 1)));
  if (!grown) return array;
  intptr_t* a = static_cast<intptr_t*>(grown);
  intptr_t* at = a + 1 + 2 * column;
  memmove(at + 2, at, sizeof(intptr_t) * 2 * static_cast<size_t>(columns - column));
  at[0] = at[1] = 0;
  return a;
}

intptr_t* RemoveColourColumn(intptr_t* array, int32_t column) {
  const int32_t columns = ColourArrayColumns(array);
  if (column < 0 || column >= columns) return array;
  intptr_t* at = array + 1 + 2 * column;
  memmove(at, at + 2, sizeof(intptr_t) * 2 * static_cast<size_t>(columns - column - 1));
  void* shrunk =
      HeapReAlloc(GetProcessHeap(), 0, array, sizeof(intptr_t) * (1 + 2 * static_cast<size_t>(columns - 1)));
  return shrunk ? static_cast<intptr_t*>(shrunk) : array;
}

intptr_t StoredColour(const intptr_t* array, int32_t column, int32_t type) {
  if (!array || column < 0 || column >= ColourArrayColumns(array) || (type != ColorFront && type != ColorBack)) {
    return ColorDefault;
  }
  return array[1 + 2 * column + (type - 1)] - 1;
}

void StoreColour(intptr_t* array, int32_t column, int32_t type, intptr_t colour) {
  if (!array || column < 0 || column >= ColourArrayColumns(array) || (type != ColorFront && type != ColorBack)) {
    return;
  }
  array[1 + 2 * column + (type - 1)] = colour + 1;
}

}  // namespace kx
