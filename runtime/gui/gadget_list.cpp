// The thread's gadget list and its stack, and the saved state each window
// keeps while the thread works on another window's list.
//
// Ownership of a stack array: the thread owns the array of the list it works
// on (GadgetListState::stack); every other window's array lies in that
// window's saved-state record.  UseGadgetList hands the array over in both
// directions, so that each array has exactly one owner.
#include "runtime/gui/gadget_list.h"

#include <cstdio>

#include "runtime/core/objects.h"

namespace kx {

namespace {

int32_t g_listPart = -1;
char g_propertyName[48] = "";

HWND* NewStack(int32_t capacity) {
  return static_cast<HWND*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HWND) * size_t(capacity)));
}

void FreeStack(HWND* stack) {
  if (stack) HeapFree(GetProcessHeap(), 0, stack);
}

void InitListPart(void* part) {
  static_cast<GadgetListState*>(part)->font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void FreeListPart(void* part) {
  GadgetListState* s = static_cast<GadgetListState*>(part);
  FreeStack(s->stack);
  s->stack = nullptr;
}

// The window whose list the thread works on (bottom of the stack, else the current list).
HWND ListWindow(const GadgetListState* s) { return s->depth > 0 ? s->stack[0] : s->current; }

LRESULT CALLBACK GadgetListWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SavedGadgetList* saved = SavedGadgetListOf(window);
  WNDPROC previous = saved ? saved->previousProcedure : nullptr;
  if (message == WM_NCDESTROY && saved) {
    GadgetListState* s = CurrentGadgetListState();
    if (ListWindow(s) == window) {
      // The thread was working on this window's list: it has none now.
      FreeStack(s->stack);
      s->stack = nullptr;
      s->current = nullptr;
      s->depth = s->capacity = 0;
    }
    FreeStack(saved->stack);
    RemovePropA(window, g_propertyName);
    HeapFree(GetProcessHeap(), 0, saved);
  }
  if (previous) return CallWindowProcA(previous, window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void GadgetStackPropertyName(char* name, int32_t size) {
  snprintf(name, size_t(size), "KX_GadgetStack_%i", int(reinterpret_cast<intptr_t>(GetModuleHandleA(nullptr))));
}

void GadgetListStart() {
  if (g_listPart >= 0) return;
  GadgetStackPropertyName(g_propertyName, sizeof g_propertyName);
  g_listPart = RegisterThreadRecord(sizeof(GadgetListState), InitListPart, FreeListPart);
}

GadgetListState* CurrentGadgetListState() {
  return static_cast<GadgetListState*>(GetThreadRecord(g_listPart));
}

SavedGadgetList* SavedGadgetListOf(HWND window) {
  return window ? static_cast<SavedGadgetList*>(GetPropA(window, g_propertyName)) : nullptr;
}

HWND UseGadgetList(HWND window) {
  GadgetListState* s = CurrentGadgetListState();
  HWND previous = ListWindow(s);
  if (!window) return previous;

  if (SavedGadgetList* saved = SavedGadgetListOf(previous)) {
    saved->current = s->current;
    saved->stack = s->stack;
    saved->depth = s->depth;
    saved->capacity = s->capacity;
  } else {
    FreeStack(s->stack);  // its window is gone: nobody else holds it
  }
  s->stack = nullptr;
  s->depth = s->capacity = 0;

  if (SavedGadgetList* target = SavedGadgetListOf(window)) {
    s->current = target->current;
    s->stack = target->stack;
    s->depth = target->depth;
    s->capacity = target->capacity;
    target->stack = nullptr;
  } else {
    s->current = window;
    s->stack = NewStack(GadgetListStackStep);
    s->capacity = s->stack ? GadgetListStackStep : 0;
    SavedGadgetList* record =
        static_cast<SavedGadgetList*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SavedGadgetList)));
    if (record) {
      record->window = window;
      if (SetPropA(window, g_propertyName, record)) {
        record->previousProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetListWindowProcedure)));
      } else {
        HeapFree(GetProcessHeap(), 0, record);
      }
    }
  }
  s->optionGroup = 0;
  return previous;
}

HWND CurrentGadgetList() { return CurrentGadgetListState()->current; }

int PushGadgetList(HWND container) {
  GadgetListState* s = CurrentGadgetListState();
  if (s->depth >= s->capacity) {
    const int32_t capacity = s->capacity + GadgetListStackStep;
    HWND* grown = s->stack ? static_cast<HWND*>(HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, s->stack,
                                                            sizeof(HWND) * size_t(capacity)))
                           : NewStack(capacity);
    if (!grown) return 0;
    s->stack = grown;
    s->capacity = capacity;
  }
  s->stack[s->depth++] = s->current;
  s->current = container;
  return 1;
}

int PopGadgetList() {
  GadgetListState* s = CurrentGadgetListState();
  if (s->depth <= 0) return 0;
  s->current = s->stack[--s->depth];
  return 1;
}

int32_t GadgetListDepth() { return CurrentGadgetListState()->depth; }

}  // namespace kx
