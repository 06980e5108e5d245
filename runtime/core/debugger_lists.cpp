// Registry of the library lists the debugger front-ends show: the libraries
// register theirs at their start, before the debugger exists, so the core
// keeps them.
#include "runtime/core/debugger_seam.h"

#include <windows.h>

namespace kx {

namespace {

constexpr int MaxLists = 64;
const DebuggerList* g_lists[MaxLists];
volatile LONG g_count = 0;
DebuggerListListener g_listener = nullptr;

}  // namespace

void RegisterDebuggerList(const DebuggerList* list) {
  if (!list) return;
  for (LONG i = 0; i < g_count; ++i) {
    if (g_lists[i] == list) return;
  }
  if (g_count >= MaxLists) return;
  g_lists[g_count] = list;
  InterlockedIncrement(&g_count);
  if (g_listener) g_listener(list);
}

int32_t DebuggerListCount() { return g_count; }

const DebuggerList* DebuggerListAt(int32_t index) {
  return index >= 0 && index < g_count ? g_lists[index] : nullptr;
}

const DebuggerList* FindDebuggerList(const char* library) {
  if (!library) return nullptr;
  for (LONG i = 0; i < g_count; ++i) {
    if (lstrcmpiA(g_lists[i]->library, library) == 0) return g_lists[i];
  }
  return nullptr;
}

void SetDebuggerListListener(DebuggerListListener listener) { g_listener = listener; }

}  // namespace kx
