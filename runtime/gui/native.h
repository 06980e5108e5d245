// The small table of native operations through which the window library
// creates, places and destroys its windows.  The library's rules (the style
// from the flags, the caption rule, the centring, the class per window) run
// against this table, so that a test can replace it and watch what the
// library asks of the window system without opening a window.
#pragma once

#include <windows.h>

namespace kx {

struct NativeWindowOperations {
  int(WINAPI* systemMetric)(int index);
  HWND(WINAPI* activeWindow)();
  BOOL(WINAPI* windowRect)(HWND window, RECT* rect);
  BOOL(WINAPI* adjustWindowRect)(RECT* rect, DWORD style, BOOL menu);
  ATOM(WINAPI* registerClass)(const WNDCLASSEXA* windowClass);
  BOOL(WINAPI* unregisterClass)(const char* name, HINSTANCE instance);
  HWND(WINAPI* createWindow)(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                       int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* parameter);
  BOOL(WINAPI* destroyWindow)(HWND window);
  BOOL(WINAPI* showWindow)(HWND window, int command);
  BOOL(WINAPI* setProperty)(HWND window, const char* name, HANDLE value);
  HANDLE(WINAPI* getProperty)(HWND window, const char* name);
  HANDLE(WINAPI* removeProperty)(HWND window, const char* name);
};

// The table in use (the Win32 one unless a test replaced it).
const NativeWindowOperations& Native();
// The Win32 table.
const NativeWindowOperations& Win32WindowOperations();
// Replaces the table; nullptr puts the Win32 one back.  Returns the previous.
const NativeWindowOperations* SetNativeWindowOperations(const NativeWindowOperations* operations);

}  // namespace kx
