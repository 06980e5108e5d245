// Library lists shown by the debugger (threads, mutexes, files, windows...).
#pragma once

#include <cstdint>

namespace kx {

// A walk visits every row of a list in one call, with the library's list
// lock held from the first row to the last: row text and the row's object
// identifier.  The visitor must not call into the library (its lock is
// held) and must not keep the row text.
using DebuggerListVisitor = void (*)(void* context, const char* row, intptr_t object);
using DebuggerListWalk = void (*)(DebuggerListVisitor visit, void* context);
// Detail text of an object (at most size bytes, NUL-terminated).
using DebuggerListDetail = void (*)(intptr_t object, char* text, int32_t size);
// Data block of an object (heap block, its size stored), handed back to the
// release routine once sent; nullptr when there is none.
using DebuggerListData = void* (*)(intptr_t object, int32_t* size);
using DebuggerListRelease = void (*)(void* data);

// Longest row text a walk hands to its visitor (without the NUL).
constexpr int32_t DebuggerListRowSize = 1100;

constexpr int32_t DebuggerListRows = 1;      // the list has rows
constexpr int32_t DebuggerListDetails = 2;   // objects have a detail text
constexpr int32_t DebuggerListDataBlocks = 4;  // objects have a data block

struct DebuggerList {
  int32_t size;             // sizeof(DebuggerList)
  int32_t flags;            // DebuggerListRows ...
  const char* library;      // "KX_LIBRARY_Thread"
  const char* title;        // "Thread"
  const char* columns;      // "Thread\t100\tPriority\t80..."
  DebuggerListWalk walk;
  DebuggerListDetail detail;    // with DebuggerListDetails
  DebuggerListData data;        // with DebuggerListDataBlocks
  DebuggerListRelease release;  // with DebuggerListDataBlocks
};

// For libraries whose rows come one at a time from their object table: calls
// next until it returns 0 and hands each row to the visitor (the caller has
// started the table's iteration, which holds its lock until the end).
using DebuggerListRowReader = int (*)(char* row, int32_t rowSize, intptr_t* object);
inline void VisitDebuggerRows(DebuggerListRowReader next, DebuggerListVisitor visit, void* context) {
  char row[DebuggerListRowSize + 1];
  intptr_t object = 0;
  while (next(row, int32_t(sizeof row), &object)) visit(context, row, object);
}

// Registers a list (start-up); the record must live for the run.
void RegisterDebuggerList(const DebuggerList* list);
int32_t DebuggerListCount();
const DebuggerList* DebuggerListAt(int32_t index);
const DebuggerList* FindDebuggerList(const char* library);

// Called for every list registered from now on (the link announces it).
using DebuggerListListener = void (*)(const DebuggerList* list);
void SetDebuggerListListener(DebuggerListListener listener);

}  // namespace kx
