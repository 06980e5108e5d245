// Custom drawing of report lists: per-cell colours from the item colour
// arrays, and grid lines drawn by the runtime after the list has painted.
#include <windows.h>
#include <commctrl.h>

#include "runtime/gui/gadget_kind.h"
#include "runtime/gui/gadget_listicon.h"

namespace kx {
namespace {

constexpr LRESULT kNotifyItemsAndPostPaint = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;  // 0x30

bool ReportLikeView(HWND list) { return (GetWindowLongPtrA(list, GWL_STYLE) & LVS_REPORT) != 0; }

COLORREF Colour(const intptr_t* array, int32_t column, int32_t type, COLORREF fallback) {
  const intptr_t stored = StoredColour(array, column, type);
  return stored == ColorDefault ? fallback : COLORREF(stored);
}

int HeaderBottom(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  if (!header || !IsWindowVisible(header)) return 0;
  RECT r;
  GetWindowRect(header, &r);
  MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&r), 2);
  return r.bottom;
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void DrawGridLines(GadgetObject* g, HDC dc) {
  HWND list = g->handle;
  RECT client;
  GetClientRect(list, &client);
  const int top = HeaderBottom(list);
  const COLORREF back = COLORREF(SendMessageA(list, LVM_GETBKCOLOR, 0, 0));
  const int32_t count = int32_t(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  if (count == 0) {
    RECT below = {client.left, top, client.right, client.bottom};
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &below, brush);
    DeleteObject(brush);
    return;
  }
  const intptr_t grid = g->data[ListGridColour];
  HPEN pen = CreatePen(PS_SOLID, 1, grid == ColorDefault ? GetSysColor(COLOR_BTNFACE) : COLORREF(grid));
  HGDIOBJ oldPen = SelectObject(dc, pen);

  RECT first = {LVIR_BOUNDS, 0, 0, 0};
  SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
  const int step = first.bottom - first.top;
  if (step > 0) {
    for (int y = first.bottom - 1; y < client.bottom; y += step) {
      if (y >= top) Line(dc, client.left, y, client.right, y);
    }
  }
  if (!ThemesActive()) {
    HPEN backPen = CreatePen(PS_SOLID, 1, back);
    HGDIOBJ previous = SelectObject(dc, backPen);
    Line(dc, client.left, top, client.right, top);
    Line(dc, client.left, top + 1, client.right, top + 1);
    SelectObject(dc, previous);
    DeleteObject(backPen);
  }
  const int right0 = first.left + int(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0)) - 1;
  Line(dc, right0, top, right0, client.bottom);
  const int32_t columns = ListColumnCount(list);
  for (int32_t c = 1; c < columns; ++c) {
    RECT cell{};
    cell.top = c;  // the sub-item asked for
    cell.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell))) continue;
    Line(dc, cell.left - 1, top, cell.left - 1, client.bottom);
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

}  // namespace

LRESULT ListCustomDraw(GadgetObject* g, NMLVCUSTOMDRAW* draw) {
  HWND list = g->handle;
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return IsWindowEnabled(list) ? kNotifyItemsAndPostPaint : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
      const intptr_t* array = reinterpret_cast<const intptr_t*>(draw->nmcd.lItemlParam);
      if (!array) return CDRF_DODEFAULT;
      if (ReportLikeView(list)) return CDRF_NOTIFYSUBITEMDRAW;
      draw->clrText = Colour(array, 0, ColorFront, COLORREF(SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0)));
      draw->clrTextBk = Colour(array, 0, ColorBack, COLORREF(SendMessageA(list, LVM_GETBKCOLOR, 0, 0)));
      return CDRF_DODEFAULT;
    }
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const intptr_t* array = reinterpret_cast<const intptr_t*>(draw->nmcd.lItemlParam);
      draw->clrText = Colour(array, draw->iSubItem, ColorFront, COLORREF(SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0)));
      draw->clrTextBk = Colour(array, draw->iSubItem, ColorBack, COLORREF(SendMessageA(list, LVM_GETBKCOLOR, 0, 0)));
      return CDRF_DODEFAULT;
    }
    case CDDS_POSTPAINT:
      if ((g->data[ListOptions] & ListOptionGridLines) && ReportLikeView(list)) DrawGridLines(g, draw->nmcd.hdc);
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

}  // namespace kx
