// Gadgets on real controls: creation into the current gadget list, the
// dispatch rule of the common commands, option groups, colours, progress
// bars, editors, image buttons, checks and the debugger view.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>

#include "gui/gadget_harness.h"
#include "gui/image_samples.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/gadget_kind.h"
#include "runtime/gui/gadget_list.h"
#include "runtime/gui/image.h"
#include "support/report_recorder.h"

namespace {

using kxtest::CaptureClient;
using kxtest::Rgb;

std::string Text(intptr_t gadget) {
  const int32_t mark = kx::GetStringMark();
  std::string text = kx::GetGadgetText(gadget, mark);
  kx::SetStringMark(mark);
  return text;
}

std::string ItemText(intptr_t gadget, int32_t item, int32_t column = 0) {
  const int32_t mark = kx::GetStringMark();
  std::string text = kx::GetGadgetItemText(gadget, item, column, mark);
  kx::SetStringMark(mark);
  return text;
}

LONG_PTR Style(intptr_t gadget) { return GetWindowLongPtrA(kx::GadgetID(gadget), GWL_STYLE); }

class Gadgets : public kxtest::GadgetWindow {
 protected:
  kxtest::ReportRecorder reports_;
};

TEST(GadgetKinds, NamesAndTableLayout) {
  EXPECT_STREQ(kx::GadgetKindName(0), "Unknown");
  EXPECT_STREQ(kx::GadgetKindName(12), "ListIconGadget");
  EXPECT_STREQ(kx::GadgetKindName(19), "ButtonImageGadget");
  EXPECT_STREQ(kx::GadgetKindName(31), "ScintillaGadget");
  EXPECT_STREQ(kx::GadgetKindName(32), "Unknown");
  EXPECT_STREQ(kx::GadgetKindName(-1), "Unknown");
  // 37 entries: two 32-bit words, then 35 pointers.
  EXPECT_EQ(sizeof(kx::GadgetKind), 8 + 35 * sizeof(void*));
  const kx::GadgetKind* made = kx::KindTable(kx::KindSpin, nullptr);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->kind, kx::KindSpin);
  EXPECT_EQ(made->size, static_cast<int32_t>(sizeof(kx::GadgetKind)));
  EXPECT_EQ(kx::KindTable(kx::KindSpin, nullptr), made);  // built once
}

TEST_F(Gadgets, CreationIntoTheCurrentList) {
  const intptr_t handle = kx::ButtonGadget(5, 10, 10, 100, 24, "Senden");
  HWND button = reinterpret_cast<HWND>(handle);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetParent(button), window_);
  EXPECT_EQ(GetWindowLongPtrA(button, GWLP_ID), 5);
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(button, "KX_ID")), 5);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(Style(5) & 0x50030000, 0x50030000);

  const intptr_t dynamic = kx::TextGadget(kx::DynamicNumber, 10, 40, 100, 20, "Dynamisch");
  ASSERT_NE(dynamic, 0);
  HWND text = kx::GadgetID(dynamic);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(reinterpret_cast<intptr_t>(text), dynamic);
  EXPECT_EQ(GetWindowLongPtrA(text, GWLP_ID), dynamic);

  // Re-using a number destroys the control that held it.
  ASSERT_NE(kx::ButtonGadget(5, 10, 70, 100, 24, "Neu"), 0);
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(Text(5), "Neu");

  kx::FreeGadget(dynamic);
  EXPECT_FALSE(IsWindow(text));
  EXPECT_EQ(kx::IsGadget(dynamic), 0);
  // Closing the window frees every gadget on it.
  HWND kept = kx::GadgetID(5);
  kx::CloseWindow(1);
  EXPECT_FALSE(IsWindow(kept));
  EXPECT_EQ(kx::IsGadget(5), 0);
}

TEST_F(Gadgets, CommandsWithoutKindEntryFallBackOrDoNothing) {
  ASSERT_NE(kx::ButtonGadget(1, 10, 10, 100, 24, "Abbrechen"), 0);
  EXPECT_EQ(Text(1), "Abbrechen");          // native text
  kx::SetGadgetText(1, "Zurück");
  char native[32] = "";
  GetWindowTextA(kx::GadgetID(1), native, sizeof native);
  EXPECT_STREQ(native, "Zurück");
  kx::SetGadgetText(1, nullptr);
  EXPECT_EQ(Text(1), "");
  EXPECT_EQ(kx::AddGadgetItem(1, -1, "x"), 0);  // no item entry: nothing, 0
  EXPECT_EQ(kx::CountGadgetItems(1), 0);
  EXPECT_EQ(kx::GetGadgetItemData(1, 0), 0);
  EXPECT_EQ(ItemText(1, 0), "");
  EXPECT_TRUE(reports_.reports().empty());

  kx::DisableGadget(1, 1);
  EXPECT_FALSE(IsWindowEnabled(kx::GadgetID(1)));
  kx::DisableGadget(1, 0);
  EXPECT_TRUE(IsWindowEnabled(kx::GadgetID(1)));
  kx::ResizeGadget(1, 20, 30, 90, 28);
  EXPECT_EQ(kx::GadgetX(1), 20);
  EXPECT_EQ(kx::GadgetY(1), 30);
  EXPECT_EQ(kx::GadgetWidth(1), 90);
  EXPECT_EQ(kx::GadgetHeight(1), 28);
}

TEST_F(Gadgets, ToggleButtonAndOptionGroups) {
  ASSERT_NE(kx::ButtonGadget(1, 10, 10, 100, 24, "Umschalten", kx::ButtonToggle), 0);
  EXPECT_EQ(kx::GetGadgetState(1), 0);
  kx::SetGadgetState(1, 5);
  EXPECT_EQ(kx::GetGadgetState(1), 1);

  // Three options after a text form one group; a button starts a new one.
  kx::TextGadget(2, 10, 40, 100, 20, "Art");
  for (intptr_t n = 3; n <= 5; ++n) kx::OptionGadget(n, 10, int32_t(40 + 22 * (n - 2)), 100, 20, "Option");
  kx::ButtonGadget(6, 200, 40, 100, 24, "Trenner");
  kx::OptionGadget(7, 200, 70, 100, 20, "Neue Gruppe");
  kx::OptionGadget(8, 200, 92, 100, 20, "Neue Gruppe 2");
  EXPECT_TRUE(Style(3) & WS_GROUP);
  EXPECT_FALSE(Style(4) & WS_GROUP);
  EXPECT_FALSE(Style(5) & WS_GROUP);
  EXPECT_TRUE(Style(7) & WS_GROUP);
  EXPECT_FALSE(Style(8) & WS_GROUP);

  kx::SetGadgetState(3, 1);
  kx::SetGadgetState(7, 1);
  kx::SetGadgetState(5, 1);
  EXPECT_EQ(kx::GetGadgetState(3), 0);
  EXPECT_EQ(kx::GetGadgetState(4), 0);
  EXPECT_EQ(kx::GetGadgetState(5), 1);
  EXPECT_EQ(kx::GetGadgetState(7), 1);  // the other group keeps its choice
  kx::SetGadgetState(8, 1);
  EXPECT_EQ(kx::GetGadgetState(7), 0);
  EXPECT_EQ(kx::GetGadgetState(5), 1);
}

TEST_F(Gadgets, StringGadgetColoursPasswordAndFocusEvents) {
  ASSERT_NE(kx::StringGadget(1, 10, 10, 200, 24, "geheim", kx::StringPassword), 0);
  EXPECT_TRUE(Style(1) & ES_PASSWORD);
  EXPECT_NE(SendMessageA(kx::GadgetID(1), EM_GETPASSWORDCHAR, 0, 0), 0);
  EXPECT_EQ(Text(1), "geheim");
  ASSERT_NE(kx::StringGadget(2, 10, 50, 200, 24, "Farbe"), 0);
  ASSERT_NE(kx::TextGadget(3, 10, 90, 200, 24, "Beschriftung"), 0);

  const int32_t brushes = kx::SharedBrushCount();
  kx::SetGadgetColor(2, kx::ColorBack, RGB(200, 0, 0));
  kx::SetGadgetColor(3, kx::ColorBack, RGB(200, 0, 0));   // shares the brush
  kx::SetGadgetColor(3, kx::ColorFront, RGB(0, 0, 255));
  EXPECT_EQ(kx::SharedBrushCount(), brushes + 1);
  EXPECT_EQ(kx::GetGadgetColor(3, kx::ColorFront), RGB(0, 0, 255));
  kxtest::Settle();
  kxtest::Capture shown = CaptureClient(window_);
  EXPECT_EQ(shown.at(200, 60), 0xC80000u);  // inside the string gadget, right of its text
  EXPECT_EQ(shown.at(200, 100), 0xC80000u);

  // -1 returns the string gadget to the system colours.
  kx::SetGadgetColor(2, kx::ColorBack, kx::ColorDefault);
  kxtest::Settle();
  shown = CaptureClient(window_);
  EXPECT_EQ(shown.at(200, 60), Rgb(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(kx::SharedBrushCount(), brushes + 1);  // the text gadget still holds it
  kx::FreeGadget(3);
  EXPECT_EQ(kx::SharedBrushCount(), brushes);

  // Focus changes are events 14000 and 14001.
  kxtest::PumpEvents(50);
  SetFocus(kx::GadgetID(1));
  EXPECT_EQ(kxtest::GadgetEventsUntil(1, kx::EventTypeFocus).back(), kx::EventTypeFocus);
  SetFocus(kx::GadgetID(2));
  EXPECT_EQ(kxtest::GadgetEventsUntil(1, kx::EventTypeLostFocus).back(), kx::EventTypeLostFocus);
}

TEST_F(Gadgets, ProgressBarRangeStateAndColours) {
  ASSERT_NE(kx::ProgressBarGadget(1, 10, 10, 300, 20, 0, 100000), 0);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 1), 0);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 2), 100000);  // beyond 16 bits
  kx::SetGadgetState(1, 70000);
  EXPECT_EQ(kx::GetGadgetState(1), 70000);
  kx::SetGadgetAttribute(1, 1, 50000);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 1), 50000);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 2), 100000);
  EXPECT_EQ(kx::GetGadgetColor(1, kx::ColorFront), -1);
  kx::SetGadgetColor(1, kx::ColorFront, RGB(0, 160, 0));
  EXPECT_EQ(kx::GetGadgetColor(1, kx::ColorFront), RGB(0, 160, 0));
}

TEST_F(Gadgets, EditorLinesAreItems) {
  ASSERT_NE(kx::EditorGadget(1, 10, 10, 300, 150), 0);
  EXPECT_EQ(kx::CountGadgetItems(1), 0);
  kx::AddGadgetItem(1, -1, "");  // an empty first line counts
  EXPECT_EQ(kx::CountGadgetItems(1), 1);
  kx::AddGadgetItem(1, -1, "zwei");
  kx::AddGadgetItem(1, -1, "drei");
  kx::AddGadgetItem(1, 0, "eins");
  ASSERT_EQ(kx::CountGadgetItems(1), 4);
  EXPECT_EQ(ItemText(1, 0), "eins");
  EXPECT_EQ(ItemText(1, 1), "");
  EXPECT_EQ(ItemText(1, 3), "drei");
  kx::SetGadgetItemText(1, 2, "Zwei");
  kx::RemoveGadgetItem(1, 1);
  ASSERT_EQ(kx::CountGadgetItems(1), 3);
  EXPECT_EQ(ItemText(1, 1), "Zwei");
  kx::RemoveGadgetItem(1, 2);
  EXPECT_EQ(kx::CountGadgetItems(1), 2);
  EXPECT_EQ(ItemText(1, 1), "Zwei");
  kx::ClearGadgetItems(1);
  EXPECT_EQ(kx::CountGadgetItems(1), 0);

  EXPECT_EQ(kx::GetGadgetAttribute(1, kx::EditorReadOnly), 0);
  kx::SetGadgetAttribute(1, kx::EditorReadOnly, 1);
  EXPECT_EQ(kx::GetGadgetAttribute(1, kx::EditorReadOnly), 1);
  kx::SetGadgetColor(1, kx::ColorFront, RGB(0, 0, 200));
  SendMessageA(kx::GadgetID(1), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FONT)), TRUE);
  kx::AddGadgetItem(1, -1, "blau");
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(kx::GadgetID(1), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.crTextColor, RGB(0, 0, 200));  // kept through the new font
}

TEST_F(Gadgets, ImageButtonShowsTheClippedCentre) {
  kx::UsePNGImageDecoder();
  // 80 x 80: a red frame 30 pixels wide around a 20 x 20 blue centre.
  const std::string png = kxtest::MakePng(80, 80, PNG_COLOR_TYPE_RGB, 8, [](int x, int y) {
    return (x >= 30 && x < 50 && y >= 30 && y < 50) ? 0xFF0000FFu : 0xFFFF0000u;
  });
  ASSERT_NE(kx::CatchImage(1, png.data(), static_cast<int32_t>(png.size())), 0);
  const intptr_t image = kx::ImageID(1);
  ASSERT_NE(kx::ButtonImageGadget(1, 100, 100, 40, 40, image), 0);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 1), image);
  EXPECT_EQ(kx::GetGadgetState(1), 0);  // no toggle: no state
  kx::SetGadgetState(1, 1);
  EXPECT_EQ(kx::GetGadgetState(1), 0);
  kxtest::Settle();
  kxtest::Capture shown = CaptureClient(window_);
  // The button's centre shows the image's centre; its inner edge shows red
  // (the image is clipped, not scaled); its border is the button's own.
  // Unscaled: the blue 20 pixels span x 110 to 129 exactly (image x 30 to 49).
  EXPECT_EQ(shown.at(109, 120), 0xFF0000u);
  for (int x = 110; x < 130; ++x) EXPECT_EQ(shown.at(x, 120), 0x0000FFu) << x;
  EXPECT_EQ(shown.at(130, 120), 0xFF0000u);
  EXPECT_EQ(shown.at(120, 134), 0xFF0000u);
  EXPECT_NE(shown.at(100, 100), 0xFF0000u);
  EXPECT_NE(shown.at(139, 139), 0xFF0000u);

  // A checked toggle button shows its pressed image; a disabled one is grey.
  const std::string green = kxtest::MakePng(16, 16, PNG_COLOR_TYPE_RGB, 8, [](int, int) { return 0xFF00C000u; });
  ASSERT_NE(kx::CatchImage(2, green.data(), static_cast<int32_t>(green.size())), 0);
  ASSERT_NE(kx::ButtonImageGadget(2, 200, 100, 40, 40, image, kx::ButtonToggle), 0);
  kx::SetGadgetAttribute(2, 2, kx::ImageID(2));
  EXPECT_EQ(kx::GetGadgetAttribute(2, 2), kx::ImageID(2));
  kxtest::Settle();
  EXPECT_EQ(CaptureClient(window_).at(220, 120), 0x0000FFu);
  kx::SetGadgetState(2, 1);
  EXPECT_EQ(kx::GetGadgetState(2), 1);
  kxtest::Settle();
  shown = CaptureClient(window_);
  EXPECT_EQ(shown.at(220, 120), 0x00C000u);
  kx::DisableGadget(1, 1);
  kxtest::Settle();
  shown = CaptureClient(window_);
  EXPECT_NE(shown.at(120, 120), 0x0000FFu);
  EXPECT_NE(shown.at(105, 120), 0xFF0000u);
  kx::FreeImage(1);
  kx::FreeImage(2);
}

TEST_F(Gadgets, ChecksReportMisuse) {
  kx::ButtonGadget(10000, 0, 0, 10, 10, "");
  EXPECT_TRUE(reports_.has("HighNumber"));
  EXPECT_NE(reports_.lastText().find("#Gadget"), std::string::npos);
  reports_.clear();
  kx::GetGadgetState(77);
  EXPECT_EQ(reports_.lastKey(), "NoObject");
  reports_.clear();
  ASSERT_NE(kx::ListIconGadget(1, 10, 10, 200, 100, "Name", 100), 0);
  kx::AddGadgetItem(1, -1, "Bild", 5);  // an image number, not an ImageID
  EXPECT_EQ(reports_.lastKey(), "InvalidArgument");
  EXPECT_EQ(reports_.lastText(), "The specified 'ImageID' is not valid.");
  reports_.clear();
  kx::AddGadgetColumn(1, -1, "x", 10);
  EXPECT_EQ(reports_.lastText(), "The specified 'Position' is negative.");
  reports_.clear();
  kx::CloseGadgetList();
  EXPECT_EQ(reports_.lastKey(), "NoOpenGadgetList");

  // Without a current gadget list a creation is refused.
  kx::CloseWindow(1);
  reports_.clear();
  EXPECT_EQ(kx::ButtonGadget(2, 0, 0, 10, 10, ""), 0);
  EXPECT_EQ(reports_.lastText(), "There is no current GadgetList.");
}

TEST_F(Gadgets, ViewerRowsAndDetail) {
  ASSERT_NE(kx::ProgressBarGadget(3, 10, 20, 200, 20, 0, 10), 0);
  kx::SetGadgetState(3, 4);
  kx::DisableGadget(3, 1);
  char text[600];
  kx::GadgetDetailText(3, text, sizeof text);
  char expected[600];
  const intptr_t handle = reinterpret_cast<intptr_t>(kx::GadgetID(3));
  snprintf(expected, sizeof expected,
           "Gadget Number: 3\nGadget Handle: %i ($%X)\n\n     Type: ProgressBarGadget\nOn Window: 1\n\n Disabled: "
           "Yes\n   Hidden: No\n Position: 10, 20\n     Size: 200, 20\n\n    State: 4",
           static_cast<int>(handle), static_cast<unsigned>(handle));
  EXPECT_STREQ(text, expected);
  kx::GadgetDetailText(4, text, sizeof text);
  EXPECT_STREQ(text, "Gadget not existing!\nGadget Number: 4");
}

}  // namespace
