// Menu bars built title by title, chosen with the real mouse, and the menu
// library's checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/gui_support.h"
#include "runtime/core/objects.h"
#include "runtime/gui/events.h"
#include "runtime/gui/menu.h"
#include "runtime/gui/window.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

constexpr int32_t Flags = WS_SYSMENU | WS_CAPTION | WS_MINIMIZEBOX;

std::string MenuText(HMENU menu, int position) {
  char text[128] = "";
  GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

class Menus : public testing::Test {
 protected:
  void SetUp() override {
    window_ = reinterpret_cast<HWND>(kx::OpenWindow(1, 120, 120, 360, 180, "Menütest", Flags));
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (kx::FindWindowObject(1)) kx::CloseWindow(1);
  }
  // Builds "Datei" (Öffnen 10, Beenden 11) and "Hilfe" (Über... 20).
  void Build(intptr_t menu) {
    ASSERT_NE(kx::CreateMenuBar(menu, kx::WindowID(1)), 0);
    kx::AddMenuTitle("Datei");
    kx::AddMenuItem(10, "Öffnen");
    kx::AddMenuItem(11, "Beenden");
    kx::AddMenuTitle("Hilfe");
    kx::AddMenuItem(20, "Über...");
  }
  HWND window_ = nullptr;
};

TEST_F(Menus, TwoTitlesSideBySideEachWithItsOwnDropDown) {
  Build(0);
  HMENU bar = GetMenu(window_);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar, kx::MenuID(0));
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(MenuText(bar, 0), "Datei");
  EXPECT_EQ(MenuText(bar, 1), "Hilfe");
  HMENU file = GetSubMenu(bar, 0), help = GetSubMenu(bar, 1);
  ASSERT_NE(file, nullptr);
  ASSERT_NE(help, nullptr);
  EXPECT_NE(file, help);
  ASSERT_EQ(GetMenuItemCount(file), 2);
  EXPECT_EQ(MenuText(file, 0), "Öffnen") << "Windows-1252 text reads back byte for byte";
  EXPECT_EQ(GetMenuItemID(file, 1), 11u);
  ASSERT_EQ(GetMenuItemCount(help), 1);
  EXPECT_EQ(GetMenuItemID(help, 0), 20u);

  DrawMenuBar(window_);
  RECT first, second;
  ASSERT_TRUE(GetMenuItemRect(window_, bar, 0, &first));
  ASSERT_TRUE(GetMenuItemRect(window_, bar, 1, &second));
  EXPECT_EQ(first.top, second.top) << "on one row";
  EXPECT_GE(second.left, first.right);

  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.bottom, 180 - GetSystemMetrics(SM_CYMENU)) << "the bar takes its room from the client area";
  int32_t x, y, width, height;
  ASSERT_TRUE(kx::WindowGeometry(1, &x, &y, &width, &height));
  EXPECT_EQ(height, 180) << "the inner height counts the bar";

  // What a user's tool can read from outside (Wine keeps menus per process).
  kxtest::ProbeResult probe = kxtest::Probe({"menu", "Menütest"});
  if (probe.exitCode == 0) {
    EXPECT_TRUE(probe.has("menu title level 0 index 1 text \"Hilfe\"")) << probe.output;
    EXPECT_TRUE(probe.has("menu item level 1 index 0 id 20 text \"Über...\"")) << probe.output;
  } else {
    EXPECT_TRUE(probe.has("menu unavailable")) << probe.output;
  }
  EXPECT_TRUE(kxtest::PumpUntilPainted(window_));
  probe = kxtest::Probe({"screenshot", "Menütest", kxtest::ScreenshotDir() + "\\menu_window.bmp"});
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
}

TEST_F(Menus, ChoosingAnItemWithTheMouseGivesTheMenuEventWithItsId) {
  Build(kx::DynamicNumber);
  HMENU bar = GetMenu(window_);
  DrawMenuBar(window_);
  SetForegroundWindow(window_);
  RECT title;
  ASSERT_TRUE(GetMenuItemRect(window_, bar, 1, &title));
  const int x = (title.left + title.right) / 2, y = (title.top + title.bottom) / 2;
  // "Hilfe" opens its drop-down below the title; its first item lies there.
  const int itemX = title.left + 20, itemY = title.bottom + GetSystemMetrics(SM_CYMENU) / 2 + 3;
  std::vector<int32_t> events;
  std::vector<intptr_t> items;
  auto pump = [&] {
    const int32_t event = kx::WaitWindowEvent(10);
    if (event == kx::EventKindMenu) items.push_back(kx::EventMenu());
    if (event) events.push_back(event);
  };
  ASSERT_EQ(kxtest::XdoTool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1 sleep 0.5 " +
                                "mousemove " + std::to_string(itemX) + " " + std::to_string(itemY) +
                                " sleep 0.3 click 1",
                            pump),
            0);
  kxtest::WaitUntil([&] {
    pump();
    return !items.empty();
  }, 2000);
  EXPECT_EQ(items, std::vector<intptr_t>{20});
}

TEST_F(Menus, ACheckMarkIsSetReadAndClearedOnAnItemOfAnyDropDown) {
  Build(0);
  HMENU help = GetSubMenu(GetMenu(window_), 1);
  EXPECT_EQ(kx::GetMenuItemState(0, 20), 0);
  kx::SetMenuItemState(0, 20, 1);
  EXPECT_EQ(kx::GetMenuItemState(0, 20), 1);
  EXPECT_TRUE(GetMenuState(help, 20, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(kx::GetMenuItemState(0, 11), 0) << "the other items keep theirs";
  kx::SetMenuItemState(0, 20, 0);
  EXPECT_EQ(kx::GetMenuItemState(0, 20), 0);
  EXPECT_FALSE(GetMenuState(help, 20, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(kx::GetMenuItemState(0, 99), 0) << "no such item";
}

TEST_F(Menus, AMenuGoesWithItsNumberAndWithItsWindow) {
  Build(3);
  HMENU first = kx::MenuID(3);
  Build(3);
  EXPECT_FALSE(IsMenu(first)) << "re-using the number frees the old bar";
  EXPECT_EQ(GetMenu(window_), kx::MenuID(3));
  kx::FreeMenu(3);
  EXPECT_EQ(GetMenu(window_), nullptr);
  EXPECT_EQ(kx::MenuID(3), nullptr);

  Build(4);
  kx::CloseWindow(1);
  EXPECT_EQ(kx::MenuID(4), nullptr) << "the window's end frees the menu's number";
}

TEST_F(Menus, ChecksReportNumbersWindowsAndAMissingCurrentMenu) {
  kxtest::ReportRecorder recorder;
  kx::CreateMenuBar(5000, window_);
  EXPECT_EQ(recorder.lastText(), "#Menu object number is very high (over 5000), are You sure of that ?");
  kx::FreeMenu(5000);
  recorder.clear();
  kx::CreateMenuBar(6, reinterpret_cast<HWND>(intptr_t(0x1234)));
  EXPECT_EQ(recorder.lastText(), "The specified 'WindowID' is not valid.");
  kx::FreeMenu(6);
  recorder.clear();
  kx::AddMenuTitle("niemand");
  EXPECT_EQ(recorder.lastKey(), "NoCurrent");
  EXPECT_EQ(recorder.lastText(), "There is no current Menu.");
  kx::AddMenuItem(1, "niemand");
  EXPECT_EQ(recorder.count(), 2u);
}

}  // namespace
