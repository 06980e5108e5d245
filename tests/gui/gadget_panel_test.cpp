// Tab panels on a real tab control: the gadget lists of their pages, pages
// that switch with the tabs (by command and by real clicks), gadgets on a page
// that report their events like a window's, the state read back by kxprobe;
// and a screenshot of a window with every kind this program shows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "gui/gadget_harness.h"
#include "gui/image_samples.h"
#include "runtime/core/strings.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/gadget_list.h"
#include "runtime/gui/image.h"
#include "support/report_recorder.h"

namespace {

std::string Text(intptr_t gadget) {
  const int32_t mark = kx::GetStringMark();
  std::string text = kx::GetGadgetText(gadget, mark);
  kx::SetStringMark(mark);
  return text;
}

class Panels : public kxtest::GadgetWindow {
 protected:
  // Panel 1 with the tabs "Senden" (button 2) and "Empfangen" (button 3).
  void BuildPanel() {
    ASSERT_NE(kx::PanelGadget(1, 10, 10, 480, 300), 0);
    kx::AddGadgetItem(1, -1, "Senden");
    ASSERT_NE(kx::ButtonGadget(2, 20, 20, 120, 26, "Datei wählen"), 0);
    kx::AddGadgetItem(1, -1, "Empfangen");
    ASSERT_NE(kx::ButtonGadget(3, 20, 60, 120, 26, "Downloaden"), 0);
    kx::CloseGadgetList();
    pages_[0] = GetParent(kx::GadgetID(2));
    pages_[1] = GetParent(kx::GadgetID(3));
  }
  HWND pages_[2] = {};
  kxtest::ReportRecorder reports_;
};

TEST_F(Panels, PagesHoldTheirGadgetsAndSwitchWithTheTabs) {
  BuildPanel();
  HWND panel = kx::GadgetID(1);
  EXPECT_TRUE(reports_.reports().empty());
  for (HWND page : pages_) {
    EXPECT_EQ(GetParent(page), panel);
    char className[16] = "";
    GetClassNameA(page, className, sizeof className);
    EXPECT_STREQ(className, "Static");
  }
  EXPECT_NE(pages_[0], pages_[1]);
  EXPECT_EQ(kx::CurrentGadgetList(), window_);  // closed again: the window's list
  ASSERT_NE(kx::ButtonGadget(4, 10, 320, 100, 24, "Außen"), 0);
  EXPECT_EQ(GetParent(kx::GadgetID(4)), window_);

  EXPECT_EQ(kx::CountGadgetItems(1), 2);
  EXPECT_EQ(kx::GetGadgetState(1), 0);
  EXPECT_EQ(Text(1), "Senden");
  EXPECT_TRUE(IsWindowVisible(pages_[0]));
  EXPECT_FALSE(IsWindowVisible(pages_[1]));

  // Layout: x 2, below the tab rows, 2 pixels in from the other edges.
  RECT client, tab, page;
  GetClientRect(panel, &client);
  SendMessageA(panel, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
  const int rows = int(SendMessageA(panel, TCM_GETROWCOUNT, 0, 0));
  GetWindowRect(pages_[0], &page);
  MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&page), 2);
  EXPECT_EQ(page.left, 2);
  EXPECT_EQ(page.top, rows * (tab.bottom - tab.top) + 4);
  EXPECT_EQ(page.right - page.left, client.right - 4);
  EXPECT_EQ(page.bottom - page.top, client.bottom - rows * (tab.bottom - tab.top) - 6);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 1), client.right - 4);

  kx::SetGadgetState(1, 1);
  EXPECT_FALSE(IsWindowVisible(pages_[0]));
  EXPECT_FALSE(IsWindowEnabled(pages_[0]));
  EXPECT_TRUE(IsWindowVisible(pages_[1]));
  EXPECT_EQ(Text(1), "Empfangen");
  kx::SetGadgetText(1, "Holen");
  EXPECT_EQ(Text(1), "Holen");

  // The probe sees the tabs and the page's button from outside.
  kxtest::ProbeResult probe = kxtest::Probe({"controls", title_});
  ASSERT_EQ(probe.exitCode, 0) << probe.output;
  EXPECT_TRUE(probe.has("tabs id 1 count 2 selected 1")) << probe.output;
  EXPECT_TRUE(probe.has("tab id 1 index 1 title \"Holen\" selected 1")) << probe.output;
  EXPECT_TRUE(probe.has("control id 3 class \"Button\" text \"Downloaden\"")) << probe.output;

  // OpenGadgetList puts new gadgets on a tab's page.
  ASSERT_EQ(kx::OpenGadgetList(1, 0), 1);
  ASSERT_NE(kx::TextGadget(5, 20, 100, 120, 20, "Auf Seite 1"), 0);
  kx::CloseGadgetList();
  EXPECT_EQ(GetParent(kx::GadgetID(5)), pages_[0]);

  // Removing the current tab selects the first one; its page and gadgets go.
  kx::RemoveGadgetItem(1, 1);
  EXPECT_EQ(kx::CountGadgetItems(1), 1);
  EXPECT_EQ(kx::GetGadgetState(1), 0);
  EXPECT_TRUE(IsWindowVisible(pages_[0]));
  EXPECT_FALSE(IsWindow(pages_[1]));
  EXPECT_EQ(kx::IsGadget(3), 0);
}

TEST_F(Panels, AddingTabsNeedsTheOpenList) {
  ASSERT_NE(kx::PanelGadget(1, 10, 10, 300, 200), 0);
  kx::AddGadgetItem(1, -1, "Eins");
  kx::CloseGadgetList();
  kx::AddGadgetItem(1, -1, "Zwei");
  EXPECT_EQ(reports_.lastKey(), "NeedOpenGadgetList");
}

TEST_F(Panels, RealClicksSwitchTabsAndReachPageGadgets) {
  BuildPanel();
  kxtest::Settle();
  HWND panel = kx::GadgetID(1);
  RECT second;
  SendMessageA(panel, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  POINT at = {(second.left + second.right) / 2, (second.top + second.bottom) / 2};
  MapWindowPoints(panel, window_, &at, 1);
  kxtest::ClickAt(window_, at.x, at.y);
  std::vector<int32_t> types = kxtest::GadgetEventsUntil(1, kx::EventTypeLeftClick);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), kx::EventTypeLeftClick);
  EXPECT_EQ(kx::GetGadgetState(1), 1);
  EXPECT_TRUE(IsWindowVisible(pages_[1]));
  EXPECT_FALSE(IsWindowVisible(pages_[0]));
  kxtest::Settle();

  // The button on the page: event 13100 for its number, as on a window.
  RECT button;
  GetWindowRect(kx::GadgetID(3), &button);
  POINT middle = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
  ScreenToClient(window_, &middle);
  kxtest::ClickAt(window_, middle.x, middle.y);
  types = kxtest::GadgetEventsUntil(3, BN_CLICKED);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), BN_CLICKED);
}

// A window as the program shows it, kept for a person to look at: a
// two-tab panel with a report list (coloured cells, grid lines), image
// buttons and progress bars.
TEST_F(Panels, ScreenshotOfAFullWindow) {
  kx::UsePNGImageDecoder();
  const std::string arrow = kxtest::MakePng(24, 24, PNG_COLOR_TYPE_RGBA, 8, [](int x, int y) {
    const int d = x - 12 < 0 ? 12 - x : x - 12;
    return (y >= 4 && y < 20 && d <= (y - 4) / 2) ? 0xFF1060C0u : 0xFFE8E8E8u;
  });
  const std::string stop = kxtest::MakePng(24, 24, PNG_COLOR_TYPE_RGB, 8, [](int x, int y) {
    return (x >= 5 && x < 19 && y >= 5 && y < 19) ? 0xFFC02020u : 0xFFE8E8E8u;
  });
  ASSERT_NE(kx::CatchImage(1, arrow.data(), static_cast<int32_t>(arrow.size())), 0);
  ASSERT_NE(kx::CatchImage(2, stop.data(), static_cast<int32_t>(stop.size())), 0);

  ASSERT_NE(kx::PanelGadget(1, 10, 10, 500, 300), 0);
  kx::AddGadgetItem(1, -1, "Senden");
  ASSERT_NE(kx::ListIconGadget(2, 8, 8, 470, 160, "Datei", 200,
                               kx::ListIconGridLines | kx::ListIconFullRowSelect), 0);
  kx::AddGadgetColumn(2, 1, "Größe", 100);
  kx::AddGadgetColumn(2, 2, "Status", 140);
  const char* rows[] = {"Bericht.pdf\n1.204.332\nhochgeladen", "Fotos.zip\n48.000.000\nläuft",
                        "Notizen.txt\n2.310\nwartet", "Präsentation.pptx\n7.800.120\nFehler"};
  for (const char* row : rows) kx::AddGadgetItem(2, -1, row);
  kx::SetGadgetItemColor(2, 0, kx::ColorBack, RGB(200, 240, 200), 2);
  kx::SetGadgetItemColor(2, 1, kx::ColorBack, RGB(255, 240, 180), 2);
  kx::SetGadgetItemColor(2, 3, kx::ColorBack, RGB(250, 200, 200), -1);
  kx::SetGadgetItemColor(2, 3, kx::ColorFront, RGB(160, 0, 0), 0);
  kx::SetGadgetColor(2, kx::ColorLine, RGB(180, 180, 220));
  ASSERT_NE(kx::ButtonImageGadget(3, 8, 180, 40, 40, kx::ImageID(1)), 0);
  ASSERT_NE(kx::ButtonImageGadget(4, 56, 180, 40, 40, kx::ImageID(2), kx::ButtonToggle), 0);
  kx::SetGadgetState(4, 1);
  ASSERT_NE(kx::ProgressBarGadget(5, 110, 184, 360, 14, 0, 100), 0);
  kx::SetGadgetState(5, 65);
  ASSERT_NE(kx::ProgressBarGadget(6, 110, 204, 360, 14, 0, 100), 0);
  kx::SetGadgetColor(6, kx::ColorFront, RGB(0, 150, 60));
  kx::SetGadgetState(6, 30);
  kx::AddGadgetItem(1, -1, "Empfangen");
  kx::StringGadget(7, 8, 8, 200, 22, "12345");
  kx::CloseGadgetList();
  ASSERT_NE(kx::TextGadget(8, 10, 320, 300, 20, "Übertragung läuft ..."), 0);
  kx::SetGadgetColor(8, kx::ColorFront, RGB(0, 0, 160));
  kxtest::Settle(400);

  // Both image buttons show on the page: the toggle one (a check-box style
  // the panel paints over) is drawn again after the panel.
  kxtest::Capture shown = kxtest::CaptureClient(window_);
  for (intptr_t button : {3, 4}) {
    RECT r;
    GetWindowRect(kx::GadgetID(button), &r);
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(window_, &centre);
    EXPECT_EQ(shown.at(centre.x, centre.y - 4), button == 3 ? 0x1060C0u : 0xC02020u) << button;
  }

  kxtest::ProbeResult probe = kxtest::Probe({"controls", title_});
  EXPECT_TRUE(probe.has("cell id 2 row 1 column 2 text \"läuft\"")) << probe.output;
  EXPECT_TRUE(probe.has("progress id 5 position 65 minimum 0 maximum 100")) << probe.output;
  EXPECT_EQ(kxtest::KeepScreenshot(title_, "gadgets_panel_list_buttons"), 0);
  const std::string kept = kxtest::ScreenshotDir() + "\\gadgets_panel_list_buttons.png";
  const std::string png = kxtest::ReadBytes(kept);
  ASSERT_NE(png, "<missing>");
  // The probe's PNG is one the image library reads back.
  EXPECT_NE(kx::CatchImage(9, png.data(), static_cast<int32_t>(png.size())), 0);
  kx::FreeImage(9);
}

}  // namespace
