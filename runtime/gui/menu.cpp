// Menu bars of runtime windows.
#include "runtime/gui/menu.h"

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"

namespace kx {

namespace {

const char* const MenuCallbackProperty = "kx_menu_callback";

ObjectTable* g_menuTable = nullptr;
int32_t g_menuPart = -1;

MenuObject* FindMenu(intptr_t menu) { return static_cast<MenuObject*>(FindObject(g_menuTable, menu)); }

// The bar is attached again after every change so the window shows it.
void Attach(const MenuObject* m) {
  if (m->window) SetMenu(m->window, m->menu);
}

// The current menu, after the "NoCurrent" check.
MenuObject* CheckedCurrentMenu() {
  MenuObject* m = g_menuTable ? FindMenu(CurrentMenuRecord()->menu) : nullptr;
  if (!m) ReportLibraryError(&MenuLibrary, "NoCurrent");
  return m;
}

void ReleaseMenu(intptr_t menu) { FreeMenu(menu); }

// Frees the slots of the window's menus when the window goes (the menus
// themselves are destroyed with it), then hands every message on.
LRESULT CALLBACK MenuWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(window, MenuCallbackProperty));
  if (message == WM_NCDESTROY) {
    HMENU bar = GetMenu(window);
    BeginObjectIteration(g_menuTable);
    intptr_t number = 0;
    while (MenuObject* m = static_cast<MenuObject*>(NextObject(g_menuTable, &number))) {
      if (bar && m->menu == bar) {
        if (m->itemHeap) HeapDestroy(m->itemHeap);
        FreeObject(g_menuTable, number);
      }
    }
    RemovePropA(window, MenuCallbackProperty);
  }
  if (previous) return CallWindowProcA(previous, window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void MenuLibraryStart() {
  if (g_menuTable) return;
  g_menuTable = CreateObjectTable(sizeof(MenuObject), 16, ReleaseMenu, "#Menu", HighestMenuNumber);
  g_menuPart = RegisterThreadRecord(sizeof(CurrentMenu), nullptr, nullptr);
}

void MenuLibraryEnd() {
  if (g_menuTable) FreeAllObjects(g_menuTable);
}

CurrentMenu* CurrentMenuRecord() { return static_cast<CurrentMenu*>(GetThreadRecord(g_menuPart)); }

intptr_t CreateMenuBar(intptr_t menu, HWND window) {
  CheckObjectNumber(g_menuTable, menu);
  if (!IsWindow(window)) ReportError("InvalidArgument", "WindowID");
  if (!g_menuTable) return 0;
  MenuObject* m = static_cast<MenuObject*>(AllocateObject(g_menuTable, menu));
  if (!m) return 0;
  const intptr_t self = menu == DynamicNumber ? DynamicIdentity(g_menuTable, m) : menu;
  HMENU bar = CreateMenu();
  if (!bar) {
    FreeObject(g_menuTable, self);
    return 0;
  }
  m->window = window;
  m->menu = bar;
  CurrentMenu* current = CurrentMenuRecord();
  current->menu = self;
  current->dropDown = bar;
  current->depth = 0;
  if (window && IsWindow(window) && !GetPropA(window, MenuCallbackProperty)) {
    LONG_PTR previous =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuWindowProcedure));
    SetPropA(window, MenuCallbackProperty, reinterpret_cast<HANDLE>(previous));
  }
  return menu == DynamicNumber ? self : reinterpret_cast<intptr_t>(bar);
}

void AddMenuTitle(const char* title) {
  MenuObject* m = CheckedCurrentMenu();
  if (!m) return;
  CurrentMenu* current = CurrentMenuRecord();
  if (current->depth != 0) {
    current->depth = 0;
    current->dropDown = m->menu;
  }
  HMENU dropDown = CreateMenu();
  if (!dropDown) return;
  AppendMenuA(current->dropDown, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(dropDown), title ? title : "");
  if (current->depth < MenuStackDepth) current->stack[current->depth++] = current->dropDown;
  current->dropDown = dropDown;
  Attach(m);
}

void AddMenuItem(int32_t item, const char* text) {
  MenuObject* m = CheckedCurrentMenu();
  if (!m) return;
  AppendMenuA(CurrentMenuRecord()->dropDown, MF_STRING, UINT_PTR(item), text ? text : "");
  Attach(m);
}

void SetMenuItemState(intptr_t menu, int32_t item, int32_t state) {
  MenuObject* m = static_cast<MenuObject*>(CheckObject(g_menuTable, menu));
  if (!m) return;
  CheckMenuItem(m->menu, UINT(item), MF_BYCOMMAND | (state ? MF_CHECKED : MF_UNCHECKED));
}

int32_t GetMenuItemState(intptr_t menu, int32_t item) {
  MenuObject* m = static_cast<MenuObject*>(CheckObject(g_menuTable, menu));
  if (!m) return 0;
  UINT state = GetMenuState(m->menu, UINT(item), MF_BYCOMMAND);
  return state != UINT(-1) && (state & MF_CHECKED) ? 1 : 0;
}

void FreeMenu(intptr_t menu) {
  MenuObject* m = FindMenu(menu);
  if (!m) return;
  if (m->window && IsWindow(m->window) && GetMenu(m->window) == m->menu) SetMenu(m->window, nullptr);
  DestroyMenu(m->menu);
  if (m->itemHeap) HeapDestroy(m->itemHeap);
  FreeObject(g_menuTable, menu);
}

HMENU MenuID(intptr_t menu) {
  MenuObject* m = FindMenu(menu);
  return m ? m->menu : nullptr;
}

}  // namespace kx
