// The window library's sizing loop: the limits a size keeps, and a window
// sized from the keyboard.
#include <gtest/gtest.h>

#include "gui/gui_support.h"
#include "runtime/core/objects.h"
#include "runtime/gui/events.h"
#include "runtime/gui/window.h"
#include "runtime/gui/window_sizing.h"
#include "support/wait_until.h"

namespace {

TEST(SizingRules, EdgesFollowTheCursorWithinTheTrackLimits) {
  MINMAXINFO limits = {};
  limits.ptMinTrackSize = {100, 80};
  limits.ptMaxTrackSize = {400, 300};
  RECT r = {100, 100, 300, 250};
  kx::SizingMoveEdges(WMSZ_RIGHT, POINT{350, 0}, limits, &r);
  EXPECT_EQ(r.right, 352);
  EXPECT_EQ(r.left, 100);
  kx::SizingMoveEdges(WMSZ_RIGHT, POINT{900, 0}, limits, &r);
  EXPECT_EQ(r.right, 500) << "held at the largest width by the edge that moved";
  kx::SizingMoveEdges(WMSZ_TOPLEFT, POINT{450, 240}, limits, &r);
  EXPECT_EQ(r.left, 400) << "held at the smallest width";
  EXPECT_EQ(r.top, 170) << "held at the smallest height";
  EXPECT_EQ(r.bottom, 250);
  kx::SizingMoveEdges(WMSZ_BOTTOM, POINT{0, 200}, limits, &r);
  EXPECT_EQ(r.bottom, 250) << "80 high at least";
}

TEST(SizingLoop, KeyboardSizingFromTheSystemMenuMovesTheChosenEdge) {
  // The loop runs while the system shows window contents during dragging
  // (for this session only).
  BOOL fullDrag = FALSE;
  SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
  HWND window = reinterpret_cast<HWND>(
      kx::OpenWindow(1, 100, 100, 300, 200, "Größe", WS_SYSMENU | WS_CAPTION | WS_SIZEBOX));
  ASSERT_TRUE(kxtest::Activate(window));
  SetFocus(window);
  RECT before;
  GetWindowRect(window, &before);
  PostMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
  auto pump = [] { kx::WaitWindowEvent(10); };
  kxtest::WaitUntil([&] {
    pump();
    return kx::CurrentSizingState()->active == 1;
  }, 2000);
  ASSERT_EQ(kx::CurrentSizingState()->active, 1);
  ASSERT_EQ(kxtest::XdoTool("key Right sleep 0.2 key Right sleep 0.2 key Right sleep 0.2 key Return", pump), 0);
  kxtest::WaitUntil([&] {
    pump();
    return kx::CurrentSizingState()->active == 0;
  }, 2000);
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_EQ(kx::CurrentSizingState()->active, 0) << "Enter ends the loop";
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.right, before.right + 20) << "the right edge, moved twice by 10 pixels";
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  kx::CloseWindow(1);
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, fullDrag, nullptr, 0);
}

TEST(SizingLoop, DraggingTheRightBorderWithTheMouseMovesIt) {
  BOOL fullDrag = FALSE;
  SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
  HWND window = reinterpret_cast<HWND>(
      kx::OpenWindow(1, 100, 100, 300, 200, "Ziehen", WS_SYSMENU | WS_CAPTION | WS_SIZEBOX));
  ASSERT_TRUE(kxtest::Activate(window));
  RECT before;
  GetWindowRect(window, &before);
  const int x = before.right - 2, y = (before.top + before.bottom) / 2;
  auto pump = [] { kx::WaitWindowEvent(10); };
  ASSERT_EQ(kxtest::XdoTool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.2 mousedown 1 " +
                                "sleep 0.2 mousemove " + std::to_string(x + 25) + " " + std::to_string(y) +
                                " sleep 0.2 mousemove " + std::to_string(x + 50) + " " + std::to_string(y) +
                                " sleep 0.2 mouseup 1",
                            pump),
            0);
  kxtest::WaitUntil([&] {
    pump();
    return kx::CurrentSizingState()->active == 0;
  }, 2000);
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_EQ(kx::CurrentSizingState()->window, window) << "the library's own loop did the sizing";
  EXPECT_EQ(kx::CurrentSizingState()->edge, WMSZ_RIGHT);
  EXPECT_EQ(kx::CurrentSizingState()->active, 0) << "the button's release ends the loop";
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.right, x + 50 + 2) << "the right edge follows the cursor (2 pixels beyond it)";
  kx::CloseWindow(1);
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, fullDrag, nullptr, 0);
}

}  // namespace
