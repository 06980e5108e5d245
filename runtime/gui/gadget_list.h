// The thread's current gadget list: the window or container into which new
// gadgets are created, with the stack of enclosing lists that containers
// (panels, their pages) push and CloseGadgetList pops.  Each window keeps the
// state of its own list in a saved-state record, so that a thread can switch
// between windows with UseGadgetList.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

// Per-thread gadget state (a per-thread part registered by the window
// library; the gadget library reads and writes the font, option-group and
// brush fields).
struct GadgetListState {
  HWND current;            // current gadget list, 0 = none
  int32_t optionGroup;     // set by an option gadget, cleared by every other creation
  HFONT font;              // current font (DEFAULT_GUI_FONT at start)
  HWND* stack;             // saved lists
  int32_t depth;
  int32_t capacity;        // starts at 10, grows by 10
  HWND endWindow;          // a window of the thread destroyed at program end
  HBRUSH tabBrush;         // last themed background brush made for a tab panel
};

// Saved-state record of a window, in its property "KX_GadgetStack_%i".
struct SavedGadgetList {
  HWND window;
  HWND current;
  HWND* stack;
  int32_t depth;
  int32_t capacity;
  WNDPROC previousProcedure;
};

constexpr int32_t GadgetListStackStep = 10;

// Registers the per-thread part (window library start-up).
void GadgetListStart();
GadgetListState* CurrentGadgetListState();

// The thread's current gadget-list window: the bottom entry of the stack when
// it is not empty, else the current list.  With window 0 only returns it;
// otherwise switches the thread to the window's own list (made on first use).
HWND UseGadgetList(HWND window);
// The list new gadgets go into now (0 = none).
HWND CurrentGadgetList();
// OpenGadgetList / containers: pushes the current list, container becomes
// current.  Returns 0 if the stack could not grow.
int PushGadgetList(HWND container);
// CloseGadgetList: the previous list becomes current again.  Returns 0 when
// nothing was pushed (the caller reports "NoOpenGadgetList").
int PopGadgetList();
int32_t GadgetListDepth();

// The property name of a window's saved state ("KX_GadgetStack_%i" with the
// program's module handle).
void GadgetStackPropertyName(char* name, int32_t size);
SavedGadgetList* SavedGadgetListOf(HWND window);

}  // namespace kx
