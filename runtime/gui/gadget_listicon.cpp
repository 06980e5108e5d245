// Report lists ("SysListView32"): items whose text is split into columns at
// line feeds, per-cell colours and item data in each item's colour array,
// images through the list's image-list record, and the list's events.
#include "runtime/gui/gadget_listicon.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "runtime/core/strings.h"
#include "runtime/gui/gadget_imagelist.h"
#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

constexpr DWORD kListStyle = 0x50010041;  // child, visible, tab stop, report, shared image lists
const char* const kLastSelected = "KX_LastSelected";
constexpr int32_t kDisplayMode = 2;
constexpr int32_t kColumnWidth = 1;
constexpr int32_t kLongestTitle = 4096;

COLORREF defaultText = 0;
COLORREF defaultBack = 0;
bool defaultsKept = false;

// ---- helpers ---------------------------------------------------------------------

void Raise(GadgetObject* g, size_t length) {
  if (static_cast<intptr_t>(length) > g->data[ListLongest]) g->data[ListLongest] = static_cast<intptr_t>(length);
}

void SetCell(GadgetObject* g, int32_t item, int32_t column, const char* text, size_t length) {
  char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
  if (!copy) return;
  memcpy(copy, text, length);
  copy[length] = '\0';
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = copy;
  SendMessageA(g->handle, LVM_SETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(&cell));
  HeapFree(GetProcessHeap(), 0, copy);
  Raise(g, length);
}

// Sets the pieces of text from the first line feed on into columns 1, 2, ...
// and returns the length of the first piece.
size_t SetFollowingPieces(GadgetObject* g, int32_t item, const char* text) {
  const char* end = strchr(text, '\n');
  const size_t first = end ? static_cast<size_t>(end - text) : strlen(text);
  int32_t column = 1;
  while (end) {
    const char* piece = end + 1;
    end = strchr(piece, '\n');
    SetCell(g, item, column++, piece, end ? static_cast<size_t>(end - piece) : strlen(piece));
  }
  return first;
}

int32_t FirstSelected(HWND list) {
  return int32_t(SendMessageA(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

void SetItemStateBits(HWND list, int32_t item, UINT state, UINT mask) {
  LVITEMA change{};
  change.state = state;
  change.stateMask = mask;
  SendMessageA(list, LVM_SETITEMSTATE, WPARAM(item), reinterpret_cast<LPARAM>(&change));
}

GadgetImageList* Images(GadgetObject* g) { return reinterpret_cast<GadgetImageList*>(g->data[ListImages]); }

int32_t ImageIndex(GadgetObject* g, intptr_t image) {
  if (!image) return -1;
  GadgetImageList* images = Images(g);
  if (!images) {
    images = CreateGadgetImageList(true);
    if (!images) return -1;
    g->data[ListImages] = reinterpret_cast<intptr_t>(images);
    SendMessageA(g->handle, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images->small));
    SendMessageA(g->handle, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images->large));
  }
  return AddGadgetImage(images, reinterpret_cast<HANDLE>(image));
}

char* CellText(GadgetObject* g, int32_t item, int32_t column, int32_t mark) {
  const int32_t room = static_cast<int32_t>(g->data[ListLongest]);
  char* out = ReserveStringRoom(room, mark);
  if (!out) return ReturnString("", 0, mark);
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = out;
  cell.cchTextMax = room + 1;
  out[0] = '\0';
  const int32_t got = int32_t(SendMessageA(g->handle, LVM_GETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(&cell)));
  const int32_t length = got < 0 ? 0 : got > room ? room : got;
  out[length] = '\0';
  ReturnStringRoom(room - length);
  return out;
}

// ---- operations -------------------------------------------------------------------

intptr_t AddItem(GadgetObject* g, int32_t position, const char* text, intptr_t image) {
  if (position < 0) position = int32_t(SendMessageA(g->handle, LVM_GETITEMCOUNT, 0, 0));
  const char* end = strchr(text, '\n');
  const size_t first = end ? static_cast<size_t>(end - text) : strlen(text);
  char* head = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, first + 1));
  if (!head) return -1;
  memcpy(head, text, first);
  head[first] = '\0';
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = position;
  item.pszText = head;
  item.lParam = 0;
  const int32_t index = ImageIndex(g, image);
  if (index >= 0) {
    item.mask |= LVIF_IMAGE;
    item.iImage = index;
  }
  const int32_t at = int32_t(SendMessageA(g->handle, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  HeapFree(GetProcessHeap(), 0, head);
  if (at < 0) return -1;
  Raise(g, first);
  SetFollowingPieces(g, at, text);
  return at;
}

void SetItemText(GadgetObject* g, int32_t item, const char* text, int32_t column) {
  if (item == -1) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(g->handle, LVM_GETHEADER, 0, 0));
    HDITEMA title{};
    title.mask = HDI_TEXT;
    title.pszText = const_cast<char*>(text);
    SendMessageA(header, HDM_SETITEMA, WPARAM(column), reinterpret_cast<LPARAM>(&title));
    return;
  }
  SetCell(g, item, column, text, strlen(text));
}

char* GetItemText(GadgetObject* g, int32_t item, int32_t column, int32_t mark) {
  if (item != -1) return CellText(g, item, column, mark);
  char* out = ReserveStringRoom(kLongestTitle, mark);
  if (!out) return ReturnString("", 0, mark);
  out[0] = '\0';
  LVCOLUMNA title{};
  title.mask = LVCF_TEXT;
  title.pszText = out;
  title.cchTextMax = kLongestTitle + 1;
  SendMessageA(g->handle, LVM_GETCOLUMNA, WPARAM(column), reinterpret_cast<LPARAM>(&title));
  const int32_t length = static_cast<int32_t>(strlen(out));
  ReturnStringRoom(kLongestTitle - length);
  return out;
}

char* GetText(GadgetObject* g, int32_t mark) {
  const int32_t item = FirstSelected(g->handle);
  if (item < 0) return ReturnString("", 0, mark);
  return CellText(g, item, 0, mark);
}

void SetText(GadgetObject* g, const char* text) {
  const int32_t item = FirstSelected(g->handle);
  if (item < 0) return;
  const char* end = strchr(text, '\n');
  SetCell(g, item, 0, text, end ? static_cast<size_t>(end - text) : strlen(text));
  SetFollowingPieces(g, item, text);
}

intptr_t GetState(GadgetObject* g) { return FirstSelected(g->handle); }

void SetState(GadgetObject* g, intptr_t item) {
  if (item == -1) {
    SetItemStateBits(g->handle, -1, 0, LVIS_SELECTED);
    return;
  }
  SetItemStateBits(g->handle, int32_t(item), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

bool HasCheckBoxes(HWND list) {
  return (SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
}

intptr_t GetItemState(GadgetObject* g, int32_t item) {
  const UINT state = UINT(SendMessageA(g->handle, LVM_GETITEMSTATE, WPARAM(item), LVIS_SELECTED | LVIS_STATEIMAGEMASK));
  intptr_t result = (state & LVIS_SELECTED) ? 1 : 0;
  if (HasCheckBoxes(g->handle) && (state & LVIS_STATEIMAGEMASK) >= 0x2000 && (state & LVIS_STATEIMAGEMASK) <= 0x2FFF) {
    result += 2;
  }
  return result;
}

void SetItemState(GadgetObject* g, int32_t item, intptr_t value) {
  const UINT selection = (value & 1) ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  SetItemStateBits(g->handle, item, selection, LVIS_SELECTED | LVIS_FOCUSED);
  SetItemStateBits(g->handle, item, (value & 2) ? 0x2000 : 0x1000, LVIS_STATEIMAGEMASK);
}

void RemoveItem(GadgetObject* g, int32_t item) {
  FreeColourArray(ItemColours(g->handle, item));
  SendMessageA(g->handle, LVM_DELETEITEM, WPARAM(item), 0);
}

void FreeAllColours(HWND list) {
  const int32_t count = int32_t(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int32_t i = 0; i < count; ++i) {
    intptr_t* array = ItemColours(list, i);
    if (!array) continue;
    FreeColourArray(array);
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = i;
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
}

void ClearItems(GadgetObject* g) {
  FreeAllColours(g->handle);
  SendMessageA(g->handle, LVM_DELETEALLITEMS, 0, 0);
  g->data[ListLongest] = 0;
  ClearGadgetImageList(Images(g));
}

intptr_t CountItems(GadgetObject* g) { return SendMessageA(g->handle, LVM_GETITEMCOUNT, 0, 0); }

intptr_t* GrowAt(intptr_t* array, int32_t column) { return InsertColourColumn(array, column); }
intptr_t* ShrinkAt(intptr_t* array, int32_t column) { return RemoveColourColumn(array, column); }

intptr_t AddColumn(GadgetObject* g, int32_t position, const char* title, int32_t width) {
  LVCOLUMNA column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<char*>(title);
  column.iSubItem = position;
  const int32_t at = int32_t(SendMessageA(g->handle, LVM_INSERTCOLUMNA, WPARAM(position), reinterpret_cast<LPARAM>(&column)));
  if (at >= 0) ForEachItemColours(g->handle, GrowAt, at);
  return at;
}

void RemoveColumn(GadgetObject* g, int32_t column) {
  if (SendMessageA(g->handle, LVM_DELETECOLUMN, WPARAM(column), 0)) ForEachItemColours(g->handle, ShrinkAt, column);
}

const DWORD kModes[4] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};

intptr_t GetAttribute(GadgetObject* g, int32_t attribute) {
  if (attribute != kDisplayMode) return 0;
  const DWORD view = DWORD(GetWindowLongPtrA(g->handle, GWL_STYLE)) & LVS_TYPEMASK;
  for (intptr_t mode = 0; mode < 4; ++mode) {
    if (kModes[mode] == view) return mode;
  }
  return 0;
}

void SetAttribute(GadgetObject* g, int32_t attribute, intptr_t value) {
  if (attribute != kDisplayMode || value < 0 || value > 3) return;
  const LONG_PTR style = GetWindowLongPtrA(g->handle, GWL_STYLE);
  SetWindowLongPtrA(g->handle, GWL_STYLE, (style & ~LONG_PTR(LVS_TYPEMASK)) | kModes[value]);
  RedrawGadget(g->handle);
}

intptr_t GetItemAttribute(GadgetObject* g, int32_t, int32_t attribute, int32_t column) {
  return attribute == kColumnWidth ? SendMessageA(g->handle, LVM_GETCOLUMNWIDTH, WPARAM(column), 0) : 0;
}

void SetItemAttribute(GadgetObject* g, int32_t, int32_t attribute, intptr_t value, int32_t column) {
  if (attribute == kColumnWidth) SendMessageA(g->handle, LVM_SETCOLUMNWIDTH, WPARAM(column), LPARAM(value & 0xFFFF));
}

void SetColour(GadgetObject* g, int32_t type, intptr_t colour) {
  if (type == ColorFront) {
    SendMessageA(g->handle, LVM_SETTEXTCOLOR, 0, colour == ColorDefault ? LPARAM(defaultText) : LPARAM(colour));
  } else if (type == ColorBack) {
    const LPARAM back = colour == ColorDefault ? LPARAM(defaultBack) : LPARAM(colour);
    SendMessageA(g->handle, LVM_SETBKCOLOR, 0, back);
    SendMessageA(g->handle, LVM_SETTEXTBKCOLOR, 0, back);
  } else if (type == ColorLine) {
    g->data[ListGridColour] = colour;
  } else {
    return;
  }
  InvalidateRect(g->handle, nullptr, TRUE);
}

intptr_t GetColour(GadgetObject* g, int32_t type) {
  if (type == ColorFront) return intptr_t(SendMessageA(g->handle, LVM_GETTEXTCOLOR, 0, 0));
  if (type == ColorBack) return intptr_t(SendMessageA(g->handle, LVM_GETBKCOLOR, 0, 0));
  if (type == ColorLine) return g->data[ListGridColour];
  return 0;
}

void ColourItem(GadgetObject* g, int32_t item, int32_t type, intptr_t colour, int32_t column) {
  intptr_t* array = ItemColoursMade(g->handle, item);
  if (!array) return;
  if (column == -1) {
    for (int32_t c = 0; c < ColourArrayColumns(array); ++c) StoreColour(array, c, type, colour);
  } else {
    StoreColour(array, column, type, colour);
  }
}

void SetItemColour(GadgetObject* g, int32_t item, int32_t type, intptr_t colour, int32_t column) {
  if (item == -1) {
    const int32_t count = int32_t(CountItems(g));
    for (int32_t i = 0; i < count; ++i) ColourItem(g, i, type, colour, column);
  } else {
    ColourItem(g, item, type, colour, column);
  }
  InvalidateRect(g->handle, nullptr, TRUE);
}

intptr_t GetItemColour(GadgetObject* g, int32_t item, int32_t type, int32_t column) {
  return StoredColour(ItemColours(g->handle, item), column, type);
}

void SetItemData(GadgetObject* g, int32_t item, intptr_t value) {
  if (intptr_t* array = ItemColoursMade(g->handle, item)) array[0] = value;
}

intptr_t GetItemData(GadgetObject* g, int32_t item) {
  const intptr_t* array = ItemColours(g->handle, item);
  return array ? array[0] : 0;
}

intptr_t LastSelected(HWND list) { return reinterpret_cast<intptr_t>(GetPropA(list, kLastSelected)); }

// A click that leaves nothing selected after a selection was reported is a change.
void ReportDeselection(GadgetObject* g) {
  if (FirstSelected(g->handle) == -1 && LastSelected(g->handle) != -1) {
    SetPropA(g->handle, kLastSelected, reinterpret_cast<HANDLE>(intptr_t(-1)));
    PostGadgetEventOf(g, EventTypeChange);
  }
}

LRESULT ParentMessage(GadgetObject* g, HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return GadgetNotHandled;
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  switch (header->code) {
    case NM_CUSTOMDRAW:
      return ListCustomDraw(g, reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
    case LVN_BEGINDRAG:
      PostGadgetEventOf(g, EventTypeDragStart);
      return 0;
    case LVN_ITEMCHANGED: {
      NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(lParam);
      if (change->uNewState & LVIS_SELECTED) {
        SetPropA(g->handle, kLastSelected, reinterpret_cast<HANDLE>(intptr_t(change->iItem)));
        PostGadgetEventOf(g, EventTypeChange);
      } else if ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) {
        PostGadgetEventOf(g, EventTypeChange);
      }
      return 0;
    }
    case NM_CLICK:
      ReportDeselection(g);
      PostGadgetEventOf(g, EventTypeLeftClick);
      return 0;
    case NM_RCLICK:
      ReportDeselection(g);
      PostGadgetEventOf(g, EventTypeRightClick);
      return 0;
    case NM_DBLCLK:
      PostGadgetEventOf(g, EventTypeLeftDoubleClick);
      return 0;
    case NM_RDBLCLK:
      PostGadgetEventOf(g, EventTypeRightDoubleClick);
      return 0;
    default:
      return GadgetNotHandled;
  }
}

void Destroy(GadgetObject* g) {
  FreeAllColours(g->handle);
  RemovePropA(g->handle, kLastSelected);
  FreeGadgetImageList(Images(g));
  g->data[ListImages] = 0;
}

void FillListIcon(GadgetKind* k) {
  k->parentMessage = ParentMessage;
  k->destroy = Destroy;
  k->getState = GetState;
  k->setState = SetState;
  k->getText = GetText;
  k->setText = SetText;
  k->addItem = AddItem;
  k->removeItem = RemoveItem;
  k->clearItems = ClearItems;
  k->countItems = CountItems;
  k->getItemState = GetItemState;
  k->setItemState = SetItemState;
  k->getItemText = GetItemText;
  k->setItemText = SetItemText;
  k->addColumn = AddColumn;
  k->removeColumn = RemoveColumn;
  k->getAttribute = GetAttribute;
  k->setAttribute = SetAttribute;
  k->getItemAttribute = GetItemAttribute;
  k->setItemAttribute = SetItemAttribute;
  k->setColor = SetColour;
  k->getColor = GetColour;
  k->setItemColor = SetItemColour;
  k->getItemColor = GetItemColour;
  k->setItemData = SetItemData;
  k->getItemData = GetItemData;
}

}  // namespace

COLORREF ListDefaultTextColour() { return defaultText; }
COLORREF ListDefaultBackColour() { return defaultBack; }

int32_t ListColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  return header ? int32_t(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

intptr_t* ItemColours(HWND list, int32_t item) {
  LVITEMA it{};
  it.mask = LVIF_PARAM;
  it.iItem = item;
  if (item < 0 || !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  return reinterpret_cast<intptr_t*>(it.lParam);
}

intptr_t* ItemColoursMade(HWND list, int32_t item) {
  LVITEMA it{};
  it.mask = LVIF_PARAM;
  it.iItem = item;
  if (item < 0 || !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  if (it.lParam) return reinterpret_cast<intptr_t*>(it.lParam);
  intptr_t* array = NewColourArray(ListColumnCount(list));
  if (!array) return nullptr;
  it.lParam = reinterpret_cast<LPARAM>(array);
  SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return array;
}

void ForEachItemColours(HWND list, intptr_t* (*change)(intptr_t* array, int32_t value), int32_t value) {
  const int32_t count = int32_t(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int32_t i = 0; i < count; ++i) {
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = i;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)) || !it.lParam) continue;
    intptr_t* changed = change(reinterpret_cast<intptr_t*>(it.lParam), value);
    if (changed != reinterpret_cast<intptr_t*>(it.lParam)) {
      it.lParam = reinterpret_cast<LPARAM>(changed);
      SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    }
  }
}

intptr_t ListIconGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                        int32_t titleWidth, int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  DWORD style = static_cast<DWORD>(flags) | kListStyle;
  if (flags & ListIconMultiSelect) style &= ~DWORD(LVS_SINGLESEL);
  else style |= LVS_SINGLESEL;
  HWND control = CreateGadgetControl(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", style, x, y, width, height);
  if (control) {
    DWORD extended = 0;
    if (flags & ListIconCheckboxes) extended |= LVS_EX_CHECKBOXES;
    if (flags & ListIconHeaderDragDrop) extended |= LVS_EX_HEADERDRAGDROP;
    if (flags & ListIconFullRowSelect) extended |= LVS_EX_FULLROWSELECT;
    if (extended) SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    if (!defaultsKept) {
      defaultText = COLORREF(SendMessageA(control, LVM_GETTEXTCOLOR, 0, 0));
      defaultBack = COLORREF(SendMessageA(control, LVM_GETBKCOLOR, 0, 0));
      defaultsKept = true;
      ThemesActive();
    }
    // Nothing has been reported as selected yet.
    SetPropA(control, kLastSelected, reinterpret_cast<HANDLE>(intptr_t(-1)));
  }
  const intptr_t result = RegisterGadget(gadget, control, KindTable(KindListIcon, FillListIcon));
  GadgetObject* g = result ? GadgetOfControl(control) : nullptr;
  if (!g) return result;
  g->data[ListGridColour] = ColorDefault;
  g->data[ListOptions] = (flags & ListIconGridLines) ? ListOptionGridLines : 0;
  AddColumn(g, 0, title ? title : "", titleWidth);
  return result;
}

}  // namespace kx
