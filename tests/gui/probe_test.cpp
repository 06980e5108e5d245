// kxprobe against a window this test builds with the runtime: what it reads
// from outside (controls, list columns and cells, tabs, progress, check
// states, focus) and what it drives (buttons, texts, rows, tabs, closing).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "gui/gui_support.h"
#include "runtime/core/objects.h"
#include "runtime/gui/events.h"
#include "runtime/gui/window.h"
#include "support/wait_until.h"

namespace {

constexpr int32_t Flags = WS_SYSMENU | WS_CAPTION;
constexpr const char* Title = "Sonde";

HWND Control(HWND parent, const char* className, const char* text, DWORD style, int id, int x, int y, int width,
             int height) {
  return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(intptr_t(id)), GetModuleHandleA(nullptr), nullptr);
}

class ProbeTest : public testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    window_ = reinterpret_cast<HWND>(kx::OpenWindow(1, 60, 60, 480, 320, Title, Flags));
    ASSERT_NE(window_, nullptr);
    Control(window_, "BUTTON", "Senden", BS_PUSHBUTTON | WS_TABSTOP, 1, 10, 10, 100, 25);
    HWND check = Control(window_, "BUTTON", "Merken", BS_AUTOCHECKBOX | WS_TABSTOP, 2, 120, 10, 100, 25);
    SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    Control(window_, "EDIT", "Grüße", WS_BORDER | WS_TABSTOP, 3, 230, 10, 150, 25);
    list_ = Control(window_, WC_LISTVIEWA, "", LVS_REPORT | LVS_SHOWSELALWAYS, 4, 10, 50, 300, 120);
    const char* titles[] = {"Datei", "Größe"};
    for (int c = 0; c < 2; ++c) {
      LVCOLUMNA column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.cx = 120 + 20 * c;
      column.pszText = const_cast<char*>(titles[c]);
      SendMessageA(list_, LVM_INSERTCOLUMNA, WPARAM(c), reinterpret_cast<LPARAM>(&column));
    }
    const char* cells[2][2] = {{"bericht.txt", "12 KB"}, {"Übersicht.zip", "3 MB"}};
    for (int r = 0; r < 2; ++r) {
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iItem = r;
      item.pszText = const_cast<char*>(cells[r][0]);
      SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
      item.iSubItem = 1;
      item.pszText = const_cast<char*>(cells[r][1]);
      SendMessageA(list_, LVM_SETITEMTEXTA, WPARAM(r), reinterpret_cast<LPARAM>(&item));
    }
    tabs_ = Control(window_, WC_TABCONTROLA, "", 0, 5, 10, 180, 300, 60);
    const char* tabTitles[] = {"Senden", "Empfangen"};
    for (int t = 0; t < 2; ++t) {
      TCITEMA item = {};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<char*>(tabTitles[t]);
      SendMessageA(tabs_, TCM_INSERTITEMA, WPARAM(t), reinterpret_cast<LPARAM>(&item));
    }
    HWND progress = Control(window_, PROGRESS_CLASSA, "", 0, 6, 10, 250, 300, 20);
    SendMessageA(progress, PBM_SETRANGE32, 0, 200);
    SendMessageA(progress, PBM_SETPOS, 42, 0);
    SetFocus(GetDlgItem(window_, 3));
    kxtest::PumpUntilPainted(window_);
  }
  void TearDown() override {
    if (kx::FindWindowObject(1)) kx::CloseWindow(1);
  }
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND tabs_ = nullptr;
};

TEST_F(ProbeTest, ReadsControlsListsTabsProgressChecksAndFocus) {
  const kxtest::ProbeResult probe = kxtest::Probe({"controls", Title});
  ASSERT_EQ(probe.exitCode, 0) << probe.output;
  for (const char* line : {
           "window handle ",
           "class \"WindowClass_1\" title \"Sonde\"",
           "control id 1 class \"Button\" text \"Senden\" x 10 y 10 width 100 height 25 visible 1 enabled 1 "
           "parent -1 checked 0",
           "control id 2 class \"Button\" text \"Merken\"",
           "checked 1",
           "control id 3 class \"Edit\" text \"Grüße\"",
           "column id 4 index 0 width 120 title \"Datei\"",
           "column id 4 index 1 width 140 title \"Größe\"",
           "rows id 4 count 2",
           "cell id 4 row 1 column 0 text \"Übersicht.zip\"",
           "cell id 4 row 0 column 1 text \"12 KB\"",
           "tabs id 5 count 2 selected 0",
           "tab id 5 index 1 title \"Empfangen\" selected 0",
           "progress id 6 position 42 minimum 0 maximum 200",
           "focus id 3 class \"Edit\"",
       }) {
    EXPECT_TRUE(probe.has(line)) << line << "\n" << probe.output;
  }
}

TEST_F(ProbeTest, DrivesButtonsTextsRowsTabsAndClosing) {
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"settext", Title, "3", "Hallo Welt", "--", "select", Title, "4", "1",
                                             "--", "select", Title, "5", "1", "--", "click", Title, "1"})));
  const bool clicked = kxtest::WaitUntil(
      [] { return kx::WaitWindowEvent(20) == kx::EventKindGadget && kx::EventGadget() == 1; }, 6000);
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_TRUE(clicked);
  char text[64] = "";
  GetWindowTextA(GetDlgItem(window_, 3), text, sizeof text);
  EXPECT_STREQ(text, "Hallo Welt");
  EXPECT_EQ(SendMessageA(list_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 1);
  EXPECT_EQ(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0), 1);

  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"close", Title})));
  const bool closeRequested = kxtest::WaitUntil([] {
    return kx::WaitWindowEvent(20) == kx::EventKindClose && kx::EventWindow() == 1 &&
           kx::CurrentEventRecord()->head == nullptr;
  }, 6000);
  EXPECT_EQ(probe.finish(), 0);
  EXPECT_TRUE(closeRequested);
  kx::CloseWindow(1);
  const kxtest::ProbeResult gone = kxtest::Probe({"gone", Title});
  EXPECT_EQ(gone.exitCode, 0) << gone.output;
}

TEST_F(ProbeTest, MissingWindowsAndControlsAreReportedAfterTheTimeOut) {
  kxtest::ProbeResult probe = kxtest::Probe({"--timeout=200", "find", "Gibt es nicht"});
  EXPECT_EQ(probe.exitCode, 1);
  EXPECT_TRUE(probe.has("missing window \"Gibt es nicht\"")) << probe.output;
  probe = kxtest::Probe({"click", Title, "99"});
  EXPECT_EQ(probe.exitCode, 1);
  EXPECT_TRUE(probe.has("missing control 99")) << probe.output;
  probe = kxtest::Probe({"screenshot", Title, kxtest::ScreenshotDir() + "\\probe_window.bmp"});
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
  const std::string bmp = kxtest::ReadBytes(kxtest::ScreenshotDir() + "\\probe_window.bmp");
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
}

}  // namespace
