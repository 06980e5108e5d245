// Tab panels ("SysTabControl32"): each tab owns a page window ("STATIC"
// child of the panel) that serves as the gadget list of the gadgets on that
// tab.  Pages hand their messages to the runtime window procedure, so the
// gadgets on them report events as on a window.  Data words: image-list
// record, -, -, kept procedure.
#include <windows.h>
#include <commctrl.h>

#include "runtime/core/strings.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget_imagelist.h"
#include "runtime/gui/gadget_kind.h"
#include "runtime/gui/gadget_list.h"

namespace kx {
namespace {

constexpr DWORD kPanelStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;
constexpr int32_t kPushOnly = -2;
constexpr int32_t kLongestTitle = 4096;
const char* const kPaintingProperty = "KX_PanelPainting";
enum { kImages = 0 };

using DrawParentBackground = HRESULT(WINAPI*)(HWND, HDC, const RECT*);

DrawParentBackground ThemeParentBackground() {
  static DrawParentBackground draw = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    if (HMODULE theme = LoadLibraryA("uxtheme.dll")) {
      draw = reinterpret_cast<DrawParentBackground>(
          reinterpret_cast<void*>(GetProcAddress(theme, "DrawThemeParentBackground")));
    }
  }
  return draw;
}

int32_t TabCount(HWND panel) { return int32_t(SendMessageA(panel, TCM_GETITEMCOUNT, 0, 0)); }
int32_t CurrentTab(HWND panel) { return int32_t(SendMessageA(panel, TCM_GETCURSEL, 0, 0)); }

HWND PageOf(HWND panel, int32_t tab) {
  if (tab < 0) return nullptr;
  TCITEMA item{};
  item.mask = TCIF_PARAM;
  if (!SendMessageA(panel, TCM_GETITEMA, WPARAM(tab), reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<HWND>(item.lParam);
}

// A page lies below the tab rows, 2 pixels in from the panel's edges.
void LayOut(HWND panel, HWND page) {
  if (!page) return;
  RECT client, tab{};
  GetClientRect(panel, &client);
  SendMessageA(panel, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
  const int rows = int(SendMessageA(panel, TCM_GETROWCOUNT, 0, 0));
  const int tabs = rows * (tab.bottom - tab.top);
  MoveWindow(page, 2, tabs + 4, client.right - 4, client.bottom - tabs - 6, TRUE);
}

void ShowPage(HWND panel, HWND page) {
  if (!page) return;
  LayOut(panel, page);
  EnableWindow(page, TRUE);
  ShowWindow(page, SW_SHOW);
}

void HidePage(HWND page) {
  if (!page) return;
  ShowWindow(page, SW_HIDE);
  EnableWindow(page, FALSE);
}

// ---- the page window ----------------------------------------------------------------

bool ClassIs(HWND window, const char* name) {
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  return lstrcmpiA(className, name) == 0;
}

// The panel's background behind a control, as a pattern brush (themed pages).
LRESULT PanelBackgroundBrush(HWND page, HWND control, HDC dc) {
  HWND panel = GetParent(page);
  DrawParentBackground draw = ThemeParentBackground();
  if (!draw) return 0;
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HWND stand = CreateWindowExA(0, "STATIC", "", WS_CHILD, r.left, r.top, w, h, panel, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  if (stand) draw(stand, memory, nullptr);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (stand) DestroyWindow(stand);
  HBRUSH brush = CreatePatternBrush(bitmap);
  DeleteObject(bitmap);
  GadgetListState* state = CurrentGadgetListState();
  if (state->tabBrush) DeleteObject(state->tabBrush);
  state->tabBrush = brush;
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(brush);
}

LRESULT CALLBACK PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND panel = GetParent(page);
  switch (message) {
    case WM_PAINT: {
      // The panel paints the page's area.
      RECT update;
      if (GetUpdateRect(page, &update, FALSE)) {
        MapWindowPoints(page, panel, reinterpret_cast<POINT*>(&update), 2);
        InvalidateRect(panel, &update, TRUE);
      }
      ValidateRect(page, nullptr);
      return 0;
    }
    case WM_ERASEBKGND:
      if (ThemesActive()) return 1;
      break;
    case WM_PRINTCLIENT:
      if (ThemesActive() && GetPropA(panel, kPaintingProperty)) {
        if (DrawParentBackground draw = ThemeParentBackground()) draw(page, reinterpret_cast<HDC>(wParam), nullptr);
        return 0;
      }
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      if (ThemesActive()) {
        HWND control = reinterpret_cast<HWND>(lParam);
        const LRESULT answer = RuntimeWindowProcedure(page, message, wParam, lParam);
        const LRESULT standard = DefWindowProcA(page, message, wParam, lParam);
        if (answer == standard && (ClassIs(control, "msctls_trackbar32") || ClassIs(control, "static") ||
                                   ClassIs(control, "button"))) {
          return PanelBackgroundBrush(page, control, reinterpret_cast<HDC>(wParam));
        }
        return answer;
      }
      break;
    default:
      break;
  }
  return RuntimeWindowProcedure(page, message, wParam, lParam);
}

// ---- the panel's own procedure ------------------------------------------------------

struct PaintWalk {
  HWND panel;
  HRGN update;
  bool afterPaint;  // second walk: the controls the panel painted over
};

// Controls that show the panel through their background (static texts,
// date pickers, check boxes, option buttons, frames) are painted after it.
bool PaintedOverPanel(HWND child) {
  char className[64] = "";
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "STATIC") == 0) return true;
  if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, className, 10, "SysDateTimePick32", 10) == CSTR_EQUAL) {
    return true;
  }
  return lstrcmpiA(className, "BUTTON") == 0 && (GetWindowLongPtrA(child, GWL_STYLE) & 7);
}

BOOL CALLBACK SortOutChild(HWND child, LPARAM value) {
  PaintWalk* walk = reinterpret_cast<PaintWalk*>(value);
  if (!IsWindowVisible(child) || GetParent(GetParent(child)) != walk->panel) return TRUE;
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, walk->panel, reinterpret_cast<POINT*>(&r), 2);
  if (!RectInRegion(walk->update, &r)) return TRUE;
  if (PaintedOverPanel(child)) {
    if (walk->afterPaint) InvalidateRect(child, nullptr, TRUE);
  } else if (!walk->afterPaint) {
    // Opaque controls paint themselves: the panel leaves their area alone.
    ValidateRect(walk->panel, &r);
    InvalidateRect(child, nullptr, TRUE);
  }
  return TRUE;
}

LRESULT CALLBACK PanelProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetObject* g = KindRecordOf(panel);
  if (!g) return DefWindowProcA(panel, message, wParam, lParam);
  if (message == WM_PAINT) {
    SetPropA(panel, kPaintingProperty, reinterpret_cast<HANDLE>(1));
    HWND page = PageOf(panel, CurrentTab(panel));
    PaintWalk walk = {panel, CreateRectRgn(0, 0, 0, 0), false};
    const bool some = page && GetUpdateRgn(panel, walk.update, FALSE) != NULLREGION;
    if (some) EnumChildWindows(page, SortOutChild, reinterpret_cast<LPARAM>(&walk));
    const LRESULT result = CallKindProcedure(g, panel, message, wParam, lParam);
    if (some) {
      walk.afterPaint = true;
      EnumChildWindows(page, SortOutChild, reinterpret_cast<LPARAM>(&walk));
    }
    DeleteObject(walk.update);
    RemovePropA(panel, kPaintingProperty);
    return result;
  }
  const LRESULT result = CallKindProcedure(g, panel, message, wParam, lParam);
  if (message == WM_SETFONT) LayOut(panel, PageOf(panel, CurrentTab(panel)));
  return result;
}

// ---- operations ---------------------------------------------------------------------

GadgetImageList* Images(GadgetObject* g) { return reinterpret_cast<GadgetImageList*>(g->data[kImages]); }

intptr_t AddTab(GadgetObject* g, int32_t position, const char* title, intptr_t image) {
  HWND panel = g->handle;
  if (position < 0) position = TabCount(panel);
  TCITEMA item{};
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = const_cast<char*>(title);
  if (image) {
    GadgetImageList* images = Images(g);
    if (!images) {
      images = CreateGadgetImageList(false);
      g->data[kImages] = reinterpret_cast<intptr_t>(images);
      if (images) SendMessageA(panel, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images->small));
    }
    const int32_t index = AddGadgetImage(images, reinterpret_cast<HANDLE>(image));
    if (index >= 0) {
      item.mask |= TCIF_IMAGE;
      item.iImage = index;
    }
  }
  HWND page = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_NOTIFY, 0, 0, 0, 0, panel, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  if (!page) return -1;
  SetWindowLongPtrA(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PageProcedure));
  SendMessageA(page, WM_SETFONT, reinterpret_cast<WPARAM>(CurrentGadgetListState()->font), FALSE);
  item.lParam = reinterpret_cast<LPARAM>(page);
  const int32_t at = int32_t(SendMessageA(panel, TCM_INSERTITEMA, WPARAM(position), reinterpret_cast<LPARAM>(&item)));
  if (at < 0) {
    DestroyWindow(page);
    return -1;
  }
  CurrentGadgetListState()->current = page;
  ShowPage(panel, PageOf(panel, CurrentTab(panel)));
  return at;
}

intptr_t GetTab(GadgetObject* g) { return CurrentTab(g->handle); }

void SetTab(GadgetObject* g, intptr_t tab) {
  HWND panel = g->handle;
  const int32_t count = TabCount(panel);
  if (count == 0) return;
  if (tab == -1) tab = count;  // an index no tab has: no tab is shown
  HidePage(PageOf(panel, CurrentTab(panel)));
  SendMessageA(panel, TCM_SETCURSEL, WPARAM(tab), 0);
  ShowPage(panel, PageOf(panel, CurrentTab(panel)));
}

intptr_t CountTabs(GadgetObject* g) { return TabCount(g->handle); }

void RemoveTab(GadgetObject* g, int32_t tab) {
  HWND panel = g->handle;
  const int32_t count = TabCount(panel);
  if (tab < 0 || tab >= count) return;
  HWND page = PageOf(panel, tab);
  if (count == 1) {
    NMHDR changing = {panel, UINT_PTR(GetWindowLongPtrA(panel, GWLP_ID)), UINT(TCN_SELCHANGING)};
    SendMessageA(GetParent(panel), WM_NOTIFY, changing.idFrom, reinterpret_cast<LPARAM>(&changing));
  } else {
    SetTab(g, tab == 0 ? 1 : 0);
  }
  SendMessageA(panel, TCM_DELETEITEM, WPARAM(tab), 0);
  if (page) {
    GadgetListState* state = CurrentGadgetListState();
    if (state->current == page) state->current = panel;
    DestroyWindow(page);
  }
}

void ClearTabs(GadgetObject* g) {
  for (int32_t tab = TabCount(g->handle) - 1; tab >= 0; --tab) RemoveTab(g, tab);
  ClearGadgetImageList(Images(g));
}

intptr_t OpenList(GadgetObject* g, int32_t item) {
  if (!PushGadgetList(CurrentGadgetList())) return 0;
  // The pushed entry is the list before; the current one stays until a page is chosen.
  GadgetListState* state = CurrentGadgetListState();
  if (item == kPushOnly) return 1;
  HWND page = PageOf(g->handle, item < 0 ? CurrentTab(g->handle) : item);
  state->current = page ? page : g->handle;
  return 1;
}

char* GetTitle(GadgetObject* g, int32_t mark) {
  char* out = ReserveStringRoom(kLongestTitle, mark);
  if (!out) return ReturnString("", 0, mark);
  out[0] = '\0';
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = out;
  item.cchTextMax = kLongestTitle + 1;
  SendMessageA(g->handle, TCM_GETITEMA, WPARAM(CurrentTab(g->handle)), reinterpret_cast<LPARAM>(&item));
  const int32_t length = lstrlenA(out);
  ReturnStringRoom(kLongestTitle - length);
  return out;
}

void SetTitle(GadgetObject* g, const char* text) {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text);
  SendMessageA(g->handle, TCM_SETITEMA, WPARAM(CurrentTab(g->handle)), reinterpret_cast<LPARAM>(&item));
}

intptr_t PageSize(GadgetObject* g, int32_t attribute) {
  HWND page = PageOf(g->handle, CurrentTab(g->handle));
  RECT r{};
  if (page) GetClientRect(page, &r);
  if (attribute == 1) return r.right;
  if (attribute == 2) return r.bottom;
  return 0;
}

LRESULT ParentMessage(GadgetObject* g, HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return GadgetNotHandled;
  HWND panel = g->handle;
  switch (reinterpret_cast<NMHDR*>(lParam)->code) {
    case TCN_SELCHANGE:
      ShowPage(panel, PageOf(panel, CurrentTab(panel)));
      PostGadgetEventOf(g, EventTypeLeftClick);
      return 0;
    case TCN_SELCHANGING:
      HidePage(PageOf(panel, CurrentTab(panel)));
      return FALSE;
    case NM_CLICK:
      PostGadgetEventOf(g, EventTypeRightClick);
      return 0;
    default:
      return GadgetNotHandled;
  }
}

void Destroy(GadgetObject* g) {
  FreeGadgetImageList(Images(g));
  g->data[kImages] = 0;
}

void FillPanel(GadgetKind* k) {
  k->parentMessage = ParentMessage;
  k->destroy = Destroy;
  k->getState = GetTab;
  k->setState = SetTab;
  k->getText = GetTitle;
  k->setText = SetTitle;
  k->addItem = AddTab;
  k->removeItem = RemoveTab;
  k->clearItems = ClearTabs;
  k->countItems = CountTabs;
  k->openGadgetList = OpenList;
  k->getAttribute = PageSize;
}

}  // namespace

intptr_t PanelGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!CheckGadgetCreation(gadget)) return 0;
  intptr_t object = 0;
  GadgetObject* g = TakeGadgetSlot(gadget, &object);
  if (!g) return 0;
  HWND control = CreateGadgetControl(WS_EX_TRANSPARENT, WC_TABCONTROLA, "", kPanelStyle, x, y, width, height);
  if (control) SubclassForKind(g, object, control, PanelProcedure);
  const intptr_t result = RegisterGadget(gadget, control, KindTable(KindPanel, FillPanel), g, object);
  if (result) PushGadgetList(control);
  return result;
}

}  // namespace kx
