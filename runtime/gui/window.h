// The window library: numbered top-level windows (#Window objects) and the
// lookups the gadget, menu and requester libraries build on.  The event
// queue and the event record are in events.h, the thread's gadget list in
// gadget_list.h.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

// OpenWindow flags the library itself reads; every other bit is a window
// style (WS_SYSMENU, WS_MINIMIZEBOX, ...) passed on to the window system.
constexpr int32_t WindowScreenCentered = 1;   // centre on the screen
constexpr int32_t WindowCentered = 2;         // centre on the parent / active window
constexpr int32_t WindowNoGadgetList = 8;     // do not become the current gadget list
constexpr int32_t WindowInvisible = 0x10000000;

// x or y of OpenWindow that lets the window system place the window.
constexpr int32_t WindowIgnorePosition = -65535;

// Numbers the argument checks accept: -1 (DynamicNumber) to 4999.
constexpr intptr_t HighestWindowNumber = 4999;

// Optional hook called first for every message of a window (or, per thread,
// of windows without one); WindowCallbackDefault asks for the normal handling.
using WindowCallback = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
constexpr LRESULT WindowCallbackDefault = -1;
// Optional background painter of a window (WM_ERASEBKGND, device context).
using BackgroundPainter = LRESULT (*)(HWND window, HDC dc);

// One slot of the #Window table; the handle is its first word (non-zero
// exactly while the window exists).
struct WindowObject {
  HWND handle;
  ACCEL* accelerators;           // heap array
  HACCEL acceleratorTable;
  WindowCallback callback;
  int32_t acceleratorCount;      // 2 after opening (Tab, Shift+Tab)
  HBRUSH background;             // 0 = none; deleted with the window
  HWND mdiClient;                // the MDI area of an MDI child, else 0
  BackgroundPainter painter;
  int16_t minimumWidth, minimumHeight, maximumWidth, maximumHeight;  // 0 = no bound
  int32_t minimisedOrMaximised;
};

void WindowLibraryStart();
void WindowLibraryEnd();

// Returns the window handle for a number, the new identity for DynamicNumber,
// 0 on failure (no object and no class remain).  parent: owner window or 0.
intptr_t OpenWindow(intptr_t window, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                    const char* title, int32_t flags, HWND parent = nullptr);
void CloseWindow(intptr_t window);
HWND WindowID(intptr_t window);
intptr_t IsWindowObject(intptr_t window);

// The window record of a number or identity, nullptr if there is none.
WindowObject* FindWindowObject(intptr_t window);

// Number (or identity) of the runtime window that holds a native window:
// the first of the window and its parents with "KX_WindowID"; -1 if none.
intptr_t WindowNumberOf(HWND handle);
// That runtime window's handle, nullptr if none.
HWND RuntimeWindowOf(HWND handle);

// Window class name of a window number ("WindowClass_%d").
void WindowClassName(intptr_t window, char* name, int32_t size);

// Inner size (client area; with a menu bar the height adds the system's
// menu-bar height) and outer position; false if there is no such window.
bool WindowGeometry(intptr_t window, int32_t* x, int32_t* y, int32_t* innerWidth, int32_t* innerHeight);

// Keyboard shortcuts of a window: a virtual key with modifier bits; pressing
// it gives the menu event (13101) with EventMenu() = event (0 to 64000; the
// commands above are the Tab walk's).  A key that has a shortcut already gets
// the new event.
constexpr int32_t ShortcutShift = 0x10000;
constexpr int32_t ShortcutControl = 0x20000;
constexpr int32_t ShortcutAlt = 0x40000;
void AddKeyboardShortcut(intptr_t window, int32_t shortcut, int32_t event);

// The debugger's "KX_LIBRARY_Window" list and detail text.
void WindowListFirst();
int WindowListNext(char* row, int32_t rowSize, intptr_t* object);
void WindowDetail(intptr_t window, char* text, int32_t size);

// The window property names ("KX_WindowID" holds number + 1).
extern const char* const WindowIdProperty;
extern const char* const DropAcceptProperty;

}  // namespace kx
