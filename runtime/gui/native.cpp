// The Win32 table of native window operations.
#include "runtime/gui/native.h"

namespace kx {

namespace {

BOOL WINAPI AdjustRect(RECT* rect, DWORD style, BOOL menu) { return AdjustWindowRect(rect, style, menu); }

HWND WINAPI CreateNativeWindow(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                        int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* parameter) {
  return CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, instance,
                         parameter);
}

const NativeWindowOperations g_win32 = {
    GetSystemMetrics, GetActiveWindow, GetWindowRect, AdjustRect,  RegisterClassExA, UnregisterClassA,
    CreateNativeWindow, DestroyWindow, ShowWindow,    SetPropA,    GetPropA,         RemovePropA,
};

const NativeWindowOperations* g_current = &g_win32;

}  // namespace

const NativeWindowOperations& Native() { return *g_current; }
const NativeWindowOperations& Win32WindowOperations() { return g_win32; }

const NativeWindowOperations* SetNativeWindowOperations(const NativeWindowOperations* operations) {
  const NativeWindowOperations* previous = g_current;
  g_current = operations ? operations : &g_win32;
  return previous;
}

}  // namespace kx
