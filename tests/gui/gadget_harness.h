// Helpers of the gadget tests: a runtime window to put gadgets in, the event
// loop, real input through xdotool, and pixels read back from the screen.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/png.h"
#include "runtime/gui/window.h"
#include "support/temp_folder.h"

namespace kxtest {

struct SeenEvent {
  int32_t event;
  intptr_t gadget;
  int32_t type;
};

// Events of the calling thread's windows for up to ms milliseconds (gadget
// events with their gadget and type; others with gadget -1).
inline std::vector<SeenEvent> PumpEvents(int ms) {
  std::vector<SeenEvent> seen;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < DWORD(ms)) {
    const int32_t event = kx::WaitWindowEvent(10);
    if (event == kx::EventKindGadget) seen.push_back({event, kx::EventGadget(), kx::EventType()});
  }
  return seen;
}

// Waits (at most ms) until a gadget event of the gadget arrives; the events
// of that gadget seen up to and with it are returned.
inline std::vector<int32_t> GadgetEventsUntil(intptr_t gadget, int32_t type, int ms = 5000) {
  std::vector<int32_t> types;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < DWORD(ms)) {
    if (kx::WaitWindowEvent(10) != kx::EventKindGadget || kx::EventGadget() != gadget) continue;
    types.push_back(kx::EventType());
    if (kx::EventType() == type) break;
  }
  return types;
}

// Lets every pending paint and message run.
inline void Settle(int ms = 150) {
  UpdateWindow(GetActiveWindow());
  PumpEvents(ms);
}

// Runs xdotool (a Unix program, started through Wine) and waits for it.
inline void Xdotool(const std::string& arguments) {
  std::string command = "Z:\\usr\\bin\\xdotool " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

// A real mouse click at a point of a window's client area.
inline void ClickAt(HWND window, int x, int y, int button = 1) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  Xdotool("mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y) + " click " +
          std::to_string(button));
}

// The screen pixels of a window's client area (top row first, 0x00RRGGBB).
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline HBITMAP CaptureBitmap(HWND window, int* width, int* height) {
  RECT client;
  GetClientRect(window, &client);
  *width = client.right;
  *height = client.bottom;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, origin.x, origin.y, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

inline Capture CaptureClient(HWND window) {
  Capture c;
  HBITMAP bitmap = CaptureBitmap(window, &c.width, &c.height);
  c.pixels.resize(static_cast<size_t>(c.width) * c.height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = c.width;
  info.bmiHeader.biHeight = -c.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, static_cast<UINT>(c.height), c.pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  for (uint32_t& p : c.pixels) p &= 0xFFFFFF;
  return c;
}

// Keeps a screenshot of the window's client area under the build tree
// (<build>/screenshots/<name>.png) for a person to look at; returns its path.
inline std::string KeepScreenshot(HWND window, const std::string& name) {
  const char* build = getenv("VELMORA_BINARY_DIR");
  std::string folder = build ? WinePath(std::string(build) + "/screenshots") : "screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "\\" + name + ".png";
  int width = 0, height = 0;
  HBITMAP bitmap = CaptureBitmap(window, &width, &height);
  const int saved = kx::SaveBitmapAsPng(bitmap, path.c_str());
  DeleteObject(bitmap);
  return saved ? path : "";
}

// A COLORREF as the screen shows it (0x00RRGGBB).
inline uint32_t Rgb(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// Test fixture: one visible runtime window (number 1) as the gadget list.
class GadgetWindow : public testing::Test {
 protected:
  void SetUp() override {
    window_ = reinterpret_cast<HWND>(kx::OpenWindow(1, 40, 40, 520, 380, "Gadgets", WS_CAPTION | WS_SYSMENU));
    ASSERT_NE(window_, nullptr);
    SetForegroundWindow(window_);
  }
  void TearDown() override { kx::CloseWindow(1); }
  HWND window_ = nullptr;
};

}  // namespace kxtest
