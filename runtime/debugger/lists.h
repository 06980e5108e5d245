// Library lists shown by the debugger (threads, mutexes, files, ...).
#pragma once

#include <cstdint>

namespace kx {

// "first" starts a walk (and takes the library's list lock); each "next"
// fills one row text (at most rowSize bytes, NUL-terminated) and the row's
// object identifier and returns 1; the call that finds the end leaves the
// lock and returns 0.
using DebuggerListFirst = void (*)();
using DebuggerListNext = int (*)(char* row, int32_t rowSize, intptr_t* object);
// The detail text of one object (at most size bytes, NUL-terminated).
using DebuggerListDetailText = void (*)(intptr_t object, char* text, int32_t size);

constexpr int32_t DebuggerListRows = 1;      // the list has rows
constexpr int32_t DebuggerListDetail = 2;    // objects have a detail text
constexpr int32_t DebuggerListData = 4;      // objects have a data block

struct DebuggerList {
  int32_t size;             // sizeof(DebuggerList)
  int32_t flags;            // DebuggerListRows ...
  const char* library;      // "KX_LIBRARY_Thread"
  const char* title;        // "Thread"
  const char* columns;      // "Thread\t100\tPriority\t80..."
  DebuggerListFirst first;
  DebuggerListNext next;
  DebuggerListDetailText detail;   // with DebuggerListDetail, else nullptr
};

// Registers a list (start-up); the record must live for the run.
void RegisterDebuggerList(const DebuggerList* list);
int32_t DebuggerListCount();
const DebuggerList* DebuggerListAt(int32_t index);
const DebuggerList* FindDebuggerList(const char* library);

// Called for every list registered from now on (the link announces it).
using DebuggerListListener = void (*)(const DebuggerList* list);
void SetDebuggerListListener(DebuggerListListener listener);

}  // namespace kx
