// Report lists on a real list-view control: items split into columns, the
// selection state, per-cell colours and item data that follow column
// changes, check boxes, drawing with colours and grid lines, and the events
// of real mouse clicks.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "gui/gadget_harness.h"
#include "gui/image_samples.h"
#include "runtime/core/strings.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/image.h"
#include "support/report_recorder.h"

namespace {

using kxtest::Rgb;

std::string Cell(intptr_t gadget, int32_t item, int32_t column) {
  const int32_t mark = kx::GetStringMark();
  std::string text = kx::GetGadgetItemText(gadget, item, column, mark);
  kx::SetStringMark(mark);
  return text;
}

std::string Text(intptr_t gadget) {
  const int32_t mark = kx::GetStringMark();
  std::string text = kx::GetGadgetText(gadget, mark);
  kx::SetStringMark(mark);
  return text;
}

// The cell as the control itself holds it.
std::string NativeCell(intptr_t gadget, int item, int column) {
  char buffer[256] = "";
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = buffer;
  cell.cchTextMax = sizeof buffer;
  SendMessageA(kx::GadgetID(gadget), LVM_GETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(&cell));
  return buffer;
}

class ReportList : public kxtest::GadgetWindow {
 protected:
  void SetUp() override {
    GadgetWindow::SetUp();
    ASSERT_NE(kx::ListIconGadget(1, 10, 10, 480, 300, "Datei", 150, kx::ListIconFullRowSelect), 0);
    kx::AddGadgetColumn(1, 1, "Größe", 100);
    kx::AddGadgetColumn(1, 2, "Datum", 120);
  }
  kxtest::ReportRecorder reports_;
};

TEST_F(ReportList, LineFeedsFillTheColumns) {
  EXPECT_EQ(kx::AddGadgetItem(1, -1, "a\nb\nc"), 0);
  EXPECT_EQ(NativeCell(1, 0, 0), "a");
  EXPECT_EQ(NativeCell(1, 0, 1), "b");
  EXPECT_EQ(NativeCell(1, 0, 2), "c");
  // Pieces beyond the columns are dropped; position -1 appends, 0 inserts.
  kx::AddGadgetItem(1, -1, "x\ny\nz\nw");
  kx::AddGadgetItem(1, 0, "erste Zeile mit langem Text\n1");
  ASSERT_EQ(kx::CountGadgetItems(1), 3);
  EXPECT_EQ(Cell(1, 0, 0), "erste Zeile mit langem Text");
  EXPECT_EQ(Cell(1, 2, 2), "z");
  EXPECT_EQ(Cell(1, -1, 1), "Größe");  // item -1: the column title
  kx::SetGadgetItemText(1, -1, "Bytes", 1);
  EXPECT_EQ(Cell(1, -1, 1), "Bytes");
  kx::SetGadgetItemText(1, 1, "ein noch viel längerer Text als alle davor", 2);
  EXPECT_EQ(Cell(1, 1, 2), "ein noch viel längerer Text als alle davor");
  kx::RemoveGadgetItem(1, 0);
  EXPECT_EQ(Cell(1, 0, 0), "a");
  kx::ClearGadgetItems(1);
  EXPECT_EQ(kx::CountGadgetItems(1), 0);
}

TEST_F(ReportList, SelectionStateAndText) {
  for (const char* name : {"eins\n1", "zwei\n2", "drei\n3"}) kx::AddGadgetItem(1, -1, name);
  EXPECT_EQ(kx::GetGadgetState(1), -1);
  EXPECT_EQ(Text(1), "");
  kx::SetGadgetState(1, 1);
  EXPECT_EQ(kx::GetGadgetState(1), 1);
  EXPECT_EQ(Text(1), "zwei");
  EXPECT_EQ(kx::GetGadgetItemState(1, 1), 1);
  EXPECT_EQ(kx::GetGadgetItemState(1, 0), 0);
  kx::SetGadgetText(1, "ZWEI\nII");
  EXPECT_EQ(NativeCell(1, 1, 0), "ZWEI");
  EXPECT_EQ(NativeCell(1, 1, 1), "II");
  kx::SetGadgetState(1, -1);
  EXPECT_EQ(kx::GetGadgetState(1), -1);
  kx::SetGadgetText(1, "nichts ausgewählt");  // nothing selected: nothing changes
  EXPECT_EQ(NativeCell(1, 0, 0), "eins");

  kx::SetGadgetAttribute(1, 2, 2);
  EXPECT_EQ(kx::GetGadgetAttribute(1, 2), 2);
  EXPECT_EQ(GetWindowLongPtrA(kx::GadgetID(1), GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);
  kx::SetGadgetAttribute(1, 2, 3);
  kx::SetGadgetItemAttribute(1, 0, 1, 0x10000 + 77, 1);  // low 16 bits
  EXPECT_EQ(kx::GetGadgetItemAttribute(1, 0, 1, 1), 77);
}

TEST_F(ReportList, ColoursAndDataFollowTheColumns) {
  kx::AddGadgetItem(1, -1, "a\nb\nc");
  kx::AddGadgetItem(1, -1, "d\ne\nf");
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorBack, 1), -1);
  kx::SetGadgetItemColor(1, 0, kx::ColorBack, RGB(255, 0, 0), 1);
  kx::SetGadgetItemColor(1, -1, kx::ColorFront, RGB(0, 0, 255), -1);  // every item, every column
  kx::SetGadgetItemData(1, 0, 4711);
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorBack, 1), RGB(255, 0, 0));
  EXPECT_EQ(kx::GetGadgetItemColor(1, 1, kx::ColorFront, 2), RGB(0, 0, 255));
  EXPECT_EQ(kx::GetGadgetItemData(1, 1), 0);

  // A column inserted before column 1 moves its colours to column 2.
  ASSERT_EQ(kx::AddGadgetColumn(1, 1, "Neu", 60), 1);
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorBack, 1), -1);
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorFront, 1), -1);
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorBack, 2), RGB(255, 0, 0));
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorFront, 3), RGB(0, 0, 255));
  kx::RemoveGadgetColumn(1, 0);
  EXPECT_EQ(kx::GetGadgetItemColor(1, 0, kx::ColorBack, 1), RGB(255, 0, 0));
  EXPECT_EQ(kx::GetGadgetItemData(1, 0), 4711);

  kx::SetGadgetColor(1, kx::ColorBack, RGB(250, 250, 210));
  EXPECT_EQ(kx::GetGadgetColor(1, kx::ColorBack), RGB(250, 250, 210));
  kx::SetGadgetColor(1, kx::ColorLine, RGB(0, 128, 0));
  EXPECT_EQ(kx::GetGadgetColor(1, kx::ColorLine), RGB(0, 128, 0));
  const intptr_t original = kx::GetGadgetColor(1, kx::ColorFront);
  kx::SetGadgetColor(1, kx::ColorFront, RGB(1, 2, 3));
  kx::SetGadgetColor(1, kx::ColorFront, kx::ColorDefault);
  EXPECT_EQ(kx::GetGadgetColor(1, kx::ColorFront), original);
}

TEST_F(ReportList, CheckBoxesAndImages) {
  ASSERT_NE(kx::ListIconGadget(2, 10, 10, 300, 200, "Wahl", 200, kx::ListIconCheckboxes | kx::ListIconMultiSelect), 0);
  EXPECT_FALSE(GetWindowLongPtrA(kx::GadgetID(2), GWL_STYLE) & LVS_SINGLESEL);
  EXPECT_TRUE(GetWindowLongPtrA(kx::GadgetID(1), GWL_STYLE) & LVS_SINGLESEL);
  kx::AddGadgetItem(2, -1, "erstes");
  kx::AddGadgetItem(2, -1, "zweites");
  kx::SetGadgetItemState(2, 0, 2);
  kx::SetGadgetItemState(2, 1, 3);
  EXPECT_EQ(kx::GetGadgetItemState(2, 0), 2);
  EXPECT_EQ(kx::GetGadgetItemState(2, 1), 3);
  kx::SetGadgetItemState(2, 1, 0);
  EXPECT_EQ(kx::GetGadgetItemState(2, 1), 0);

  kx::UsePNGImageDecoder();
  const std::string png = kxtest::MakePng(40, 40, PNG_COLOR_TYPE_RGB, 8, [](int, int) { return 0xFF00A000u; });
  ASSERT_NE(kx::CatchImage(3, png.data(), static_cast<int32_t>(png.size())), 0);
  kx::AddGadgetItem(1, -1, "mit Bild", kx::ImageID(3));
  kx::AddGadgetItem(1, -1, "gleiches Bild", kx::ImageID(3));
  HWND list = kx::GadgetID(1);
  HIMAGELIST small = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(small), 2);  // the blank one and the cached image
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = 1;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(item.iImage, 1);
  kx::ClearGadgetItems(1);
  EXPECT_EQ(ImageList_GetImageCount(small), 1);
  kx::FreeImage(3);
}

TEST_F(ReportList, CellColoursAndGridLinesAreDrawn) {
  ASSERT_NE(kx::ListIconGadget(2, 10, 10, 400, 200, "Name", 120, kx::ListIconGridLines), 0);
  kx::AddGadgetColumn(2, 1, "Wert", 120);
  for (const char* row : {"rot\nweiß", "grün\nblau", "drei\nvier"}) kx::AddGadgetItem(2, -1, row);
  kx::SetGadgetItemColor(2, 0, kx::ColorBack, RGB(255, 0, 0), 0);
  kx::SetGadgetItemColor(2, 1, kx::ColorBack, RGB(0, 0, 255), 1);
  kx::SetGadgetColor(2, kx::ColorLine, RGB(0, 200, 0));
  kxtest::Settle(300);

  HWND list = kx::GadgetID(2);
  RECT row0{}, row1{};
  row0.left = row1.left = LVIR_BOUNDS;
  SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0));
  SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row1));
  kxtest::Capture shown = kxtest::CaptureClient(list);
  const int middle0 = (row0.top + row0.bottom) / 2;
  const int middle1 = (row1.top + row1.bottom) / 2;
  EXPECT_EQ(shown.at(100, middle0), 0xFF0000u);    // item 0, column 0: red (past its text)
  EXPECT_NE(shown.at(200, middle0), 0xFF0000u);    // item 0, column 1: default
  EXPECT_EQ(shown.at(230, middle1), 0x0000FFu);    // item 1, column 1: blue
  EXPECT_EQ(shown.at(300, row0.bottom - 1), 0x00C800u);  // horizontal grid line under item 0
  EXPECT_EQ(shown.at(119, 150), 0x00C800u);        // vertical line at the right of column 0, below the items
  const int below = row0.bottom - 1 + 5 * (row0.bottom - row0.top);  // two rows past the last item
  ASSERT_LT(below, shown.height);
  EXPECT_EQ(shown.at(300, below), 0x00C800u) << "lines continue below the last item";
  EXPECT_NE(shown.at(300, below - 2), 0x00C800u);
}

TEST_F(ReportList, ClickOnEmptyAreaAfterSelectionPostsChangeThenClick) {
  kx::AddGadgetItem(1, -1, "eins\n1");
  kx::AddGadgetItem(1, -1, "zwei\n2");
  kxtest::Settle();
  HWND list = kx::GadgetID(1);
  RECT row{};
  row.left = LVIR_BOUNDS;
  SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  POINT inList = {60, (row.top + row.bottom) / 2};
  MapWindowPoints(list, window_, &inList, 1);
  kxtest::ClickAt(window_, inList.x, inList.y);
  std::vector<int32_t> types = kxtest::GadgetEventsUntil(1, kx::EventTypeLeftClick);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.front(), kx::EventTypeChange);
  EXPECT_EQ(types.back(), kx::EventTypeLeftClick);
  EXPECT_EQ(kx::GetGadgetState(1), 1);
  kxtest::PumpEvents(100);

  // The empty area below the items: the selection goes, 768 then 0.
  kxtest::ClickAt(window_, 200, 250);
  types = kxtest::GadgetEventsUntil(1, kx::EventTypeLeftClick);
  ASSERT_GE(types.size(), 2u);
  EXPECT_EQ(types[types.size() - 2], kx::EventTypeChange);
  EXPECT_EQ(types.back(), kx::EventTypeLeftClick);
  EXPECT_EQ(kx::GetGadgetState(1), -1);
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(list, "KX_LastSelected")), -1);
  kxtest::PumpEvents(600);  // past the double-click time

  // Right click and double click on an item: types 1 and 2.
  kxtest::ClickAt(window_, inList.x, inList.y, 3);
  types = kxtest::GadgetEventsUntil(1, kx::EventTypeRightClick);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), kx::EventTypeRightClick);
  kxtest::PumpEvents(600);
  // The mouse is there already (a --sync move to the same place would wait for ever).
  kxtest::XdoTool("click --repeat 2 --delay 80 1", kxtest::PumpOnce);
  types = kxtest::GadgetEventsUntil(1, kx::EventTypeLeftDoubleClick);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), kx::EventTypeLeftDoubleClick);
}

}  // namespace
