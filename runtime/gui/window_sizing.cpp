#include "runtime/gui/window_sizing.h"

#include "runtime/core/objects.h"

namespace kx {

namespace {

int32_t g_sizingPart = -1;

bool MovesLeft(int32_t edge) { return edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT; }
bool MovesRight(int32_t edge) { return edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT; }
bool MovesTop(int32_t edge) { return edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT; }
bool MovesBottom(int32_t edge) {
  return edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT;
}

LPCSTR CursorOfEdge(int32_t edge) {
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_RIGHT: return reinterpret_cast<LPCSTR>(IDC_SIZEWE);
    case WMSZ_TOP:
    case WMSZ_BOTTOM: return reinterpret_cast<LPCSTR>(IDC_SIZENS);
    case WMSZ_TOPLEFT:
    case WMSZ_BOTTOMRIGHT: return reinterpret_cast<LPCSTR>(IDC_SIZENWSE);
    default: return reinterpret_cast<LPCSTR>(IDC_SIZENESW);
  }
}

void Resize(SizingState* s, POINT cursor) {
  SizingMoveEdges(s->edge, cursor, s->limits, &s->rect);
  SendMessageA(s->window, WM_SIZING, WPARAM(s->edge), reinterpret_cast<LPARAM>(&s->rect));
  RECT place = s->rect;
  if (GetWindowLongPtrA(s->window, GWL_STYLE) & WS_CHILD) {
    MapWindowPoints(nullptr, GetParent(s->window), reinterpret_cast<POINT*>(&place), 2);
  }
  MoveWindow(s->window, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
  s->putBack = 0;
}

// Puts the cursor on the chosen edge (horizontal edges at the cursor's x,
// vertical ones at its y; edges that move to x + 2 / y + 2 inset by 2).
void CursorToEdge(SizingState* s) {
  POINT p;
  GetCursorPos(&p);
  if (MovesLeft(s->edge)) p.x = s->rect.left;
  if (MovesRight(s->edge)) p.x = s->rect.right - 2;
  if (MovesTop(s->edge)) p.y = s->rect.top;
  if (MovesBottom(s->edge)) p.y = s->rect.bottom - 2;
  SetCursorPos(p.x, p.y);
  SetCursor(LoadCursorA(nullptr, CursorOfEdge(s->edge)));
}

void StartSizing(SizingState* s, HWND window, int32_t edge) {
  s->active = 1;
  s->edge = edge;
  s->window = window;
  GetWindowRect(window, &s->rect);
  s->start = s->rect;
  MINMAXINFO& m = s->limits;
  m = MINMAXINFO{};
  m.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
  if (style & WS_BORDER) m.ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  else if (exStyle & WS_EX_WINDOWEDGE) m.ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  m.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  m.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&m));
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) SendMessageA(window, WM_LBUTTONDOWN, 0, 0);
  s->putBack = 1;
  GetCursorPos(&s->cursorStart);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  if (edge == 0) SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZEALL)));
}

void EndSizing(SizingState* s) {
  PostMessageA(s->window, WM_EXITSIZEMOVE, 0, 0);
  s->active = 0;
  if (s->putBack) SetCursorPos(s->cursorStart.x, s->cursorStart.y);
}

}  // namespace

void SizingStart() {
  if (g_sizingPart < 0) g_sizingPart = RegisterThreadRecord(sizeof(SizingState), nullptr, nullptr);
}

SizingState* CurrentSizingState() { return static_cast<SizingState*>(GetThreadRecord(g_sizingPart)); }

int32_t SizingEdgeForKey(int32_t edge, int key) {
  switch (edge) {
    case 0:
      if (key == VK_LEFT) return WMSZ_LEFT;
      if (key == VK_RIGHT) return WMSZ_RIGHT;
      if (key == VK_UP) return WMSZ_TOP;
      if (key == VK_DOWN) return WMSZ_BOTTOM;
      break;
    case WMSZ_LEFT:
      if (key == VK_UP) return WMSZ_TOPLEFT;
      if (key == VK_DOWN) return WMSZ_BOTTOMLEFT;
      break;
    case WMSZ_RIGHT:
      if (key == VK_UP) return WMSZ_TOPRIGHT;
      if (key == VK_DOWN) return WMSZ_BOTTOMRIGHT;
      break;
    case WMSZ_TOP:
      if (key == VK_LEFT) return WMSZ_TOPLEFT;
      if (key == VK_RIGHT) return WMSZ_TOPRIGHT;
      break;
    case WMSZ_BOTTOM:
      if (key == VK_LEFT) return WMSZ_BOTTOMLEFT;
      if (key == VK_RIGHT) return WMSZ_BOTTOMRIGHT;
      break;
  }
  return edge;
}

void SizingMoveEdges(int32_t edge, POINT cursor, const MINMAXINFO& limits, RECT* rect) {
  if (MovesLeft(edge)) rect->left = edge == WMSZ_TOPLEFT ? cursor.x - 2 : cursor.x;
  if (MovesRight(edge)) rect->right = cursor.x + 2;
  if (MovesTop(edge)) rect->top = edge == WMSZ_TOPLEFT ? cursor.y - 2 : cursor.y;
  if (MovesBottom(edge)) rect->bottom = cursor.y + 2;
  auto clamp = [](LONG size, LONG low, LONG high) { return size < low ? low : (size > high ? high : size); };
  const LONG width = clamp(rect->right - rect->left, limits.ptMinTrackSize.x, limits.ptMaxTrackSize.x);
  const LONG height = clamp(rect->bottom - rect->top, limits.ptMinTrackSize.y, limits.ptMaxTrackSize.y);
  if (MovesLeft(edge)) rect->left = rect->right - width;
  else if (MovesRight(edge)) rect->right = rect->left + width;
  if (MovesTop(edge)) rect->top = rect->bottom - height;
  else if (MovesBottom(edge)) rect->bottom = rect->top + height;
}

int SizingLoopMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  SizingState* s = CurrentSizingState();
  if (!s->active) {
    if (message != WM_SYSCOMMAND || (wParam & 0xFFF0) != SC_SIZE) return 0;
    BOOL fullDrag = FALSE;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
    if (!fullDrag) return 0;
    StartSizing(s, window, int32_t(wParam & 0x0F));
    *result = 0;
    return 1;
  }
  if (window != s->window) return 0;
  switch (message) {
    case WM_MOUSEMOVE: {
      POINT p = {short(LOWORD(lParam)), short(HIWORD(lParam))};
      ClientToScreen(window, &p);
      Resize(s, p);
      break;
    }
    case WM_KEYDOWN: {
      const int key = int(wParam);
      if (key == VK_RETURN || key == VK_ESCAPE) {
        ReleaseCapture();
        break;
      }
      if (key != VK_LEFT && key != VK_RIGHT && key != VK_UP && key != VK_DOWN) return 0;
      const int32_t chosen = SizingEdgeForKey(s->edge, key);
      if (chosen != s->edge) {
        s->edge = chosen;
        CursorToEdge(s);
        break;
      }
      POINT p;
      GetCursorPos(&p);
      if (key == VK_LEFT) p.x -= 10;
      if (key == VK_RIGHT) p.x += 10;
      if (key == VK_UP) p.y -= 10;
      if (key == VK_DOWN) p.y += 10;
      SetCursorPos(p.x, p.y);
      Resize(s, p);
      break;
    }
    case WM_LBUTTONUP:
      ReleaseCapture();
      break;
    case WM_CAPTURECHANGED:
      EndSizing(s);
      break;
    default:
      return 0;
  }
  *result = 0;
  return 1;
}

}  // namespace kx
