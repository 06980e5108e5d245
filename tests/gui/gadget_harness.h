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
#include "gui/gui_support.h"
#include "support/temp_folder.h"

namespace kxtest {

struct SeenEvent {
  int32_t event;
  intptr_t gadget;
  int32_t type;
};

// Gadget events that arrived while a helper waited (oldest first).
inline std::vector<SeenEvent>& EventBacklog() {
  static std::vector<SeenEvent> backlog;
  return backlog;
}

// One wait of the event loop (up to 10 ms); a gadget event goes to the backlog.
inline void PumpOnce() {
  if (kx::WaitWindowEvent(10) == kx::EventKindGadget) {
    EventBacklog().push_back({kx::EventKindGadget, kx::EventGadget(), kx::EventType()});
  }
}

// Runs the event loop for ms milliseconds and returns the gadget events seen.
inline std::vector<SeenEvent> PumpEvents(int ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < DWORD(ms)) PumpOnce();
  std::vector<SeenEvent> seen;
  seen.swap(EventBacklog());
  return seen;
}

// The types of the gadget's events up to and with the first of the given
// type (waiting at most ms for it); other gadgets' events are dropped.
inline std::vector<int32_t> GadgetEventsUntil(intptr_t gadget, int32_t type, int ms = 5000) {
  std::vector<int32_t> types;
  const DWORD start = GetTickCount();
  size_t next = 0;
  while (GetTickCount() - start < DWORD(ms)) {
    std::vector<SeenEvent>& backlog = EventBacklog();
    for (; next < backlog.size(); ++next) {
      if (backlog[next].gadget != gadget) continue;
      types.push_back(backlog[next].type);
      if (backlog[next].type == type) {
        backlog.erase(backlog.begin(), backlog.begin() + static_cast<long>(next) + 1);
        return types;
      }
    }
    PumpOnce();
  }
  EventBacklog().clear();
  return types;
}

// Lets every pending paint and message run.
inline void Settle(int ms = 150) { PumpEvents(ms); }

// A real mouse click at a point of a window's client area (xdotool through
// the test run's input server, the event loop running meanwhile).
inline void ClickAt(HWND window, int x, int y, int button = 1) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  POINT now{};
  GetCursorPos(&now);
  // A --sync move waits for a movement: none when the mouse is there already.
  const std::string move = now.x == p.x && now.y == p.y
                               ? ""
                               : "mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y) + " ";
  XdoTool(move + "click " + std::to_string(button), PumpOnce);
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

// Keeps a screenshot of the window, taken from outside by kxprobe, under the
// build tree (<build>/screenshots/<name>.png) for a person to look at;
// returns kxprobe's exit code.
inline int KeepScreenshot(const std::string& title, const std::string& name) {
  const std::string file = ScreenshotDir() + "\\" + name + ".png";
  Background probe;
  if (!probe.start(ProbeLine({"screenshot", title, file}))) return -1;
  return probe.finish(30000, [] { PumpOnce(); });
}

// A COLORREF as the screen shows it (0x00RRGGBB).
inline uint32_t Rgb(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// Test fixture: one visible runtime window (number 1) as the gadget list.
// Its title names the test, so that kxprobe finds this window and no other
// test program's.
class GadgetWindow : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    title_ = std::string(test->test_suite_name()) + "." + test->name();
    window_ = reinterpret_cast<HWND>(
        kx::OpenWindow(1, 40, 40, 520, 380, title_.c_str(), WS_CAPTION | WS_SYSMENU));
    ASSERT_NE(window_, nullptr);
    SetForegroundWindow(window_);
  }
  void TearDown() override { kx::CloseWindow(1); }
  HWND window_ = nullptr;
  std::string title_;
};

}  // namespace kxtest
