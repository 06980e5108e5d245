// The #Window table: opening, closing and looking up the runtime's top-level
// windows, the library's start and end, and its debugger list.
#include "runtime/gui/window.h"

#include <ole2.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget_list.h"
#include "runtime/gui/native.h"
#include "runtime/gui/window_internal.h"

namespace kx {

const char* const WindowIdProperty = "KX_WindowID";
const char* const DropAcceptProperty = "KX_DropAccept";

namespace {

ObjectTable* g_windowTable = nullptr;
HICON g_icon = nullptr;
HCURSOR g_cursor = nullptr;

void ReleaseWindow(intptr_t window) { CloseWindow(window); }

// Geometry of a new window from OpenWindow's arguments.
struct Placement {
  DWORD style;
  int x, y, width, height;
};

Placement PlaceWindow(int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight, int32_t flags, HWND parent) {
  const NativeWindowOperations& native = Native();
  Placement p{};
  flags &= ~WindowNoGadgetList;
  const int32_t own = WindowScreenCentered | WindowCentered | WindowInvisible;
  if ((flags & ~own) == 0) flags |= WS_CAPTION;
  p.style = DWORD(flags & ~own);
  RECT rect = {0, 0, innerWidth, innerHeight};
  native.adjustWindowRect(&rect, p.style, FALSE);
  p.width = rect.right - rect.left;
  p.height = rect.bottom - rect.top;
  p.x = x;
  p.y = y;
  if (flags & WindowScreenCentered) {
    const int screenWidth = native.systemMetric(SM_CXSCREEN);
    const int screenHeight = native.systemMetric(SM_CYSCREEN);
    if (p.width > screenWidth) p.width = screenWidth;
    if (p.height > screenHeight) p.height = screenHeight;
    p.x = (screenWidth - p.width) / 2;
    p.y = (screenHeight - p.height) / 2;
  } else if (flags & WindowCentered) {
    HWND around = parent ? parent : native.activeWindow();
    RECT outer;
    if (around && native.windowRect(around, &outer)) {
      p.x = outer.left + (outer.right - outer.left - p.width) / 2;
      p.y = outer.top + (outer.bottom - outer.top - p.height) / 2;
      if (p.x < 0) p.x = 0;
      if (p.y < 0) p.y = 0;
    }
  }
  // Also a centring that found no window to centre on leaves -65535 to the
  // window system (the position would otherwise lie far off the screen).
  if (p.x == WindowIgnorePosition || p.y == WindowIgnorePosition) p.x = p.y = CW_USEDEFAULT;
  return p;
}

void CheckWindowNumber(intptr_t window) { CheckObjectNumber(g_windowTable, window); }

const char* YesNo(bool value) { return value ? "Yes" : "No"; }

void WindowListWalk(DebuggerListVisitor visit, void* context) {
  WindowListFirst();
  VisitDebuggerRows(WindowListNext, visit, context);
}

const DebuggerList g_windowList = {sizeof(DebuggerList), DebuggerListRows | DebuggerListDetails, "KX_LIBRARY_Window",
                                   "Window", "#Window\t70\tHidden\t80\tDisabled\t80\tTitle\t300", WindowListWalk,
                                   WindowDetail};

}  // namespace

ObjectTable* WindowTable() { return g_windowTable; }

void WindowClassName(intptr_t window, char* name, int32_t size) {
  // A dynamic window's identity is pointer-sized: formatted whole.
  snprintf(name, size_t(size), "WindowClass_%" PRIdPTR, window);
}

void WindowLibraryStart() {
  if (g_windowTable) return;
  g_windowTable = CreateObjectTable(sizeof(WindowObject), 16, ReleaseWindow, "#Window", HighestWindowNumber);
  EventsStart();
  GadgetListStart();
  g_icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  g_cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  RegisterDebuggerList(&g_windowList);
}

void WindowLibraryEnd() {
  if (!g_windowTable) return;
  FreeAllObjects(g_windowTable);
  EventsEnd();
}

WindowObject* FindWindowObject(intptr_t window) {
  return static_cast<WindowObject*>(FindObject(g_windowTable, window));
}

intptr_t IsWindowObject(intptr_t window) { return IsObject(g_windowTable, window) ? 1 : 0; }

intptr_t OpenWindow(intptr_t window, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                    const char* title, int32_t flags, HWND parent) {
  CheckWindowNumber(window);
  if (parent && !IsWindow(parent)) ReportLibraryError(&WindowLibrary, "InvalidParent");
  if (!g_windowTable) return 0;
  const NativeWindowOperations& native = Native();
  WindowObject* w = static_cast<WindowObject*>(AllocateObject(g_windowTable, window));
  if (!w) return 0;
  const intptr_t number = window == DynamicNumber ? DynamicIdentity(g_windowTable, w) : window;

  char className[48];
  WindowClassName(number, className, sizeof className);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = RuntimeWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = g_icon;
  windowClass.hCursor = g_cursor;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  native.registerClass(&windowClass);

  const Placement p = PlaceWindow(x, y, innerWidth, innerHeight, flags, parent);
  HWND handle = native.createWindow(0, className, title ? title : "", p.style, p.x, p.y, p.width, p.height, parent,
                                    nullptr, instance, nullptr);
  if (!handle) {
    native.unregisterClass(className, instance);
    FreeObject(g_windowTable, number);
    return 0;
  }
  native.setProperty(handle, WindowIdProperty, reinterpret_cast<HANDLE>(number + 1));

  ACCEL* accelerators = static_cast<ACCEL*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 2 * sizeof(ACCEL)));
  if (accelerators) {
    accelerators[0] = {FVIRTKEY | FNOINVERT, VK_TAB, CommandFocusNext};
    accelerators[1] = {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CommandFocusPrevious};
    w->accelerators = accelerators;
    w->acceleratorCount = 2;
    w->acceleratorTable = CreateAcceleratorTableA(accelerators, 2);
  }
  w->mdiClient = nullptr;
  w->minimisedOrMaximised = (p.style & (WS_MINIMIZE | WS_MAXIMIZE)) ? 1 : 0;
  w->handle = handle;  // the record is complete: the window exists from here on

  if (!(flags & WindowInvisible)) {
    int show = SW_SHOWNORMAL;
    if (p.style & WS_MAXIMIZE) show = SW_MAXIMIZE;
    else if (p.style & WS_MINIMIZE) show = SW_SHOWMINIMIZED;
    native.showWindow(handle, show);
  }
  if (!(flags & WindowNoGadgetList)) UseGadgetList(handle);
  return window == DynamicNumber ? number : reinterpret_cast<intptr_t>(handle);
}

void CloseWindow(intptr_t window) {
  CheckObject(g_windowTable, window);
  WindowObject* w = FindWindowObject(window);
  if (!w) return;
  const NativeWindowOperations& native = Native();
  HWND handle = w->handle;
  HWND owner = GetWindow(handle, GW_OWNER);
  if (owner && !w->mdiClient) SetActiveWindow(owner);
  native.removeProperty(handle, WindowIdProperty);
  if (native.removeProperty(handle, DropAcceptProperty)) RevokeDragDrop(handle);
  if (w->mdiClient) {
    SendMessageA(w->mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(handle), 0);
  } else {
    native.destroyWindow(handle);
    char className[48];
    WindowClassName(window, className, sizeof className);
    native.unregisterClass(className, GetModuleHandleA(nullptr));
  }
  if (w->accelerators) HeapFree(GetProcessHeap(), 0, w->accelerators);
  if (w->acceleratorTable) DestroyAcceleratorTable(w->acceleratorTable);
  if (w->background) DeleteObject(w->background);
  FreeObject(g_windowTable, window);
}

HWND WindowID(intptr_t window) {
  CheckObject(g_windowTable, window);
  WindowObject* w = FindWindowObject(window);
  return w ? w->handle : nullptr;
}

void AddKeyboardShortcut(intptr_t window, int32_t shortcut, int32_t event) {
  CheckObject(g_windowTable, window);
  if (event < 0 || event > HighestShortcutEvent) ReportLibraryError(&WindowLibrary, "InvalidEvent");
  WindowObject* w = FindWindowObject(window);
  if (!w) return;
  BYTE flags = FVIRTKEY | FNOINVERT;
  if (shortcut & ShortcutShift) flags |= FSHIFT;
  if (shortcut & ShortcutControl) flags |= FCONTROL;
  if (shortcut & ShortcutAlt) flags |= FALT;
  const WORD key = WORD(shortcut & 0xFFFF);
  int32_t at = 0;
  while (at < w->acceleratorCount && !(w->accelerators[at].fVirt == flags && w->accelerators[at].key == key)) ++at;
  if (at == w->acceleratorCount) {
    const SIZE_T bytes = sizeof(ACCEL) * SIZE_T(w->acceleratorCount + 1);
    ACCEL* grown = static_cast<ACCEL*>(
        w->accelerators ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, w->accelerators, bytes)
                        : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!grown) return;
    w->accelerators = grown;
    ++w->acceleratorCount;
  }
  w->accelerators[at] = {flags, key, WORD(event)};
  // The table is built anew from the entries: accelerator tables cannot grow.
  HACCEL table = CreateAcceleratorTableA(w->accelerators, w->acceleratorCount);
  if (!table) return;
  if (w->acceleratorTable) DestroyAcceleratorTable(w->acceleratorTable);
  w->acceleratorTable = table;
}

intptr_t WindowNumberOf(HWND handle) {
  for (HWND h = handle; h; h = GetParent(h)) {
    intptr_t value = reinterpret_cast<intptr_t>(GetPropA(h, WindowIdProperty));
    if (value) return value - 1;
  }
  return -1;
}

HWND RuntimeWindowOf(HWND handle) {
  for (HWND h = handle; h; h = GetParent(h)) {
    if (GetPropA(h, WindowIdProperty)) return h;
  }
  return nullptr;
}

bool WindowGeometry(intptr_t window, int32_t* x, int32_t* y, int32_t* innerWidth, int32_t* innerHeight) {
  WindowObject* w = FindWindowObject(window);
  if (!w) return false;
  RECT client = {}, outer = {};
  GetClientRect(w->handle, &client);
  GetWindowRect(w->handle, &outer);
  int32_t height = client.bottom - client.top;
  if (GetMenu(w->handle) && !w->mdiClient) height += GetSystemMetrics(SM_CYMENU);
  if (w->mdiClient) MapWindowPoints(nullptr, w->mdiClient, reinterpret_cast<POINT*>(&outer), 2);
  if (x) *x = outer.left;
  if (y) *y = outer.top;
  if (innerWidth) *innerWidth = client.right - client.left;
  if (innerHeight) *innerHeight = height;
  return true;
}

// ---- debugger list ----------------------------------------------------------

void WindowListFirst() { BeginObjectIteration(g_windowTable); }

int WindowListNext(char* row, int32_t rowSize, intptr_t* object) {
  intptr_t number = 0;
  WindowObject* w = static_cast<WindowObject*>(NextObject(g_windowTable, &number));
  if (!w) return 0;
  char title[1001] = "";
  GetWindowTextA(w->handle, title, sizeof title);
  snprintf(row, size_t(rowSize), "%" PRIdPTR "\t%s\t%s\t%s", number, IsWindowVisible(w->handle) ? "" : "Hidden",
           IsWindowEnabled(w->handle) ? "" : "Disabled", title);
  if (object) *object = number;
  return 1;
}

void WindowDetail(intptr_t window, char* text, int32_t size) {
  WindowObject* w = FindWindowObject(window);
  if (!w) {
    snprintf(text, size_t(size), "Window not existing!\nWindow Number: %i", int(window));
    return;
  }
  HWND handle = w->handle;
  char title[1001] = "";
  GetWindowTextA(handle, title, sizeof title);
  char parent[64];
  HWND owner = GetWindow(handle, GW_OWNER);
  if (w->mdiClient) snprintf(parent, sizeof parent, "\n  Parent: MDIGadget");
  else if (!owner) snprintf(parent, sizeof parent, "\n  Parent: None");
  else snprintf(parent, sizeof parent, "\n  Parent: %i", int(WindowNumberOf(owner)));
  int32_t x = 0, y = 0, width = 0, height = 0;
  WindowGeometry(window, &x, &y, &width, &height);
  snprintf(text, size_t(size),
           "Window Number: %i\nWindow Handle: %i ($%X)\n\n   Title: %s%s\n\nDisabled: %s\n  Hidden: %s\n"
           "Position: %i, %i\n    Size: %i, %i",
           int(window), int(reinterpret_cast<intptr_t>(handle)), unsigned(reinterpret_cast<uintptr_t>(handle)),
           title, parent, YesNo(!IsWindowEnabled(handle)), YesNo(!IsWindowVisible(handle)), int(x), int(y),
           int(width), int(height));
}

}  // namespace kx
