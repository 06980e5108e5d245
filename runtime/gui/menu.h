// The menu library: a window's menu bar (#Menu objects) built title by title
// and item by item.  Choosing an item gives the menu event (13101) with the
// item's ID through the window library's event queue.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

// Numbers the argument checks accept: -1 (DynamicNumber) to 4999.
constexpr intptr_t HighestMenuNumber = 4999;
constexpr int32_t MenuStackDepth = 64;

// One slot of the #Menu table; the bar's handle is its first word.
struct MenuObject {
  HMENU menu;
  HWND window;           // window the bar belongs to
  int32_t imageMenu;     // 0 for plain menus (owner-drawn items otherwise)
  HANDLE itemHeap;       // item records of an image menu
  void* imageList;       // of an image menu
};

// The thread's current menu (a per-thread part).
struct CurrentMenu {
  intptr_t menu;                     // current menu object
  HMENU dropDown;                    // receives new items
  HMENU stack[MenuStackDepth];       // enclosing drop-downs
  int32_t depth;
};

void MenuLibraryStart();
void MenuLibraryEnd();

// Returns the bar's handle for a number, the identity for DynamicNumber, 0 if
// the menu cannot be made.  window: from WindowID.
intptr_t CreateMenuBar(intptr_t menu, HWND window);
// A new title (drop-down) on the bar, which always starts from the bar.
void AddMenuTitle(const char* title);
// A new item in the current drop-down.
void AddMenuItem(int32_t item, const char* text);
// The check mark of an item of the menu (searched in all its drop-downs):
// state 1 shows it, 0 hides it.  GetMenuItemState gives 1 for a checked
// item, 0 otherwise (also for an item the menu does not have).
void SetMenuItemState(intptr_t menu, int32_t item, int32_t state);
int32_t GetMenuItemState(intptr_t menu, int32_t item);
void FreeMenu(intptr_t menu);
HMENU MenuID(intptr_t menu);
CurrentMenu* CurrentMenuRecord();

}  // namespace kx
