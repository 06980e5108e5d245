// Image buttons ("BUTTON" controls the runtime draws an image on): the
// control paints itself, then the image is drawn centred and unscaled over
// it, clipped to the inner area.  Data words: normal image, pressed image,
// creation flags, kept procedure.
#include <windows.h>

#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

constexpr DWORD kImageButtonStyle = 0x50010000;  // child, visible, tab stop
constexpr int32_t kNormalImage = 1;
constexpr int32_t kPressedImage = 2;
enum { kNormal = 0, kPressed = 1, kFlags = 2 };

bool IsToggle(GadgetObject* g) { return g->data[kFlags] == ButtonToggle; }

intptr_t ToggleState(GadgetObject* g) {
  return IsToggle(g) ? (SendMessageA(g->handle, BM_GETCHECK, 0, 0) == BST_CHECKED) : 0;
}

void SetToggleState(GadgetObject* g, intptr_t state) {
  if (IsToggle(g)) SendMessageA(g->handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
}

intptr_t Image(GadgetObject* g, int32_t attribute) {
  if (attribute == kNormalImage) return g->data[kNormal];
  if (attribute == kPressedImage) return g->data[kPressed];
  return 0;
}

void SetImage(GadgetObject* g, int32_t attribute, intptr_t image) {
  if (attribute == kNormalImage) g->data[kNormal] = image;
  else if (attribute == kPressedImage) g->data[kPressed] = image;
  else return;
  InvalidateRect(g->handle, nullptr, TRUE);
  UpdateWindow(g->handle);
}

// Size of a bitmap, or of an icon (its mask's half height without colours).
bool ImageSize(HANDLE image, int* width, int* height, bool* icon) {
  BITMAP b{};
  *icon = GetObjectType(image) != OBJ_BITMAP;
  if (!*icon) {
    if (!GetObjectA(image, sizeof b, &b)) return false;
    *width = b.bmWidth;
    *height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
    return true;
  }
  ICONINFO info{};
  if (!GetIconInfo(static_cast<HICON>(image), &info)) return false;
  bool ok = false;
  if (info.hbmColor && GetObjectA(info.hbmColor, sizeof b, &b)) {
    *width = b.bmWidth;
    *height = b.bmHeight;
    ok = true;
  } else if (info.hbmMask && GetObjectA(info.hbmMask, sizeof b, &b)) {
    *width = b.bmWidth;
    *height = b.bmHeight / 2;
    ok = true;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return ok;
}

void DrawImage(GadgetObject* g, HDC given) {
  HWND control = g->handle;
  const int inset = ThemesActive() ? 4 : 2;
  const bool checked = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const bool pushed = (SendMessageA(control, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
  HANDLE image = reinterpret_cast<HANDLE>(g->data[kPressed] && (checked || pushed) ? g->data[kPressed]
                                                                                      : g->data[kNormal]);
  HDC dc = given ? given : GetDC(control);
  if (!dc) return;
  const int saved = SaveDC(dc);
  RECT client;
  GetClientRect(control, &client);
  int width = 0, height = 0;
  bool icon = false;
  if (image && ImageSize(image, &width, &height, &icon)) {
    IntersectClipRect(dc, client.left + inset, client.top + inset, client.right - inset, client.bottom - inset);
    int x = (client.right - client.left - width) / 2;
    int y = (client.bottom - client.top - height) / 2;
    if (pushed) {
      ++x;
      ++y;
    }
    UINT flags = icon ? DST_ICON : DST_BITMAP;
    if (!IsWindowEnabled(control)) flags |= DSS_DISABLED;
    DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(image), 0, x, y, width, height, flags);
    SelectClipRgn(dc, nullptr);
  }
  const LRESULT ui = SendMessageA(control, WM_QUERYUISTATE, 0, 0);
  if (GetFocus() == control && !(ui & UISF_HIDEFOCUS)) {
    RECT focus = client;
    if (ThemesActive()) {
      InflateRect(&focus, -(inset - 1), -(inset - 1));
    } else {
      InflateRect(&focus, -(inset + 1), -(inset + 1));
      FrameRect(dc, &focus, GetSysColorBrush(COLOR_BTNFACE));
    }
    DrawFocusRect(dc, &focus);
  }
  RestoreDC(dc, saved);
  if (!given) ReleaseDC(control, dc);
}

LRESULT CALLBACK ImageButtonProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetObject* g = KindRecordOf(control);
  if (!g) return DefWindowProcA(control, message, wParam, lParam);
  const LRESULT result = CallKindProcedure(g, control, message, wParam, lParam);
  switch (message) {
    case WM_SETFOCUS:
    case WM_ENABLE:
    case WM_PAINT:
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_UPDATEUISTATE:
      DrawImage(g, nullptr);
      break;
    case WM_PRINT:
      DrawImage(g, reinterpret_cast<HDC>(wParam));
      break;
    default:
      break;
  }
  return result;
}

void FillImageButton(GadgetKind* k) {
  k->getState = ToggleState;
  k->setState = SetToggleState;
  k->getAttribute = Image;
  k->setAttribute = SetImage;
}

}  // namespace

intptr_t ButtonImageGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, intptr_t image,
                           int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  intptr_t object = 0;
  GadgetObject* g = TakeGadgetSlot(gadget, &object);
  if (!g) return 0;
  g->data[kNormal] = image;
  g->data[kPressed] = 0;
  g->data[kFlags] = flags;
  HWND control = CreateGadgetControl(0, "BUTTON", "", static_cast<DWORD>(flags) | kImageButtonStyle, x, y, width,
                                     height);
  if (control) SubclassForKind(g, object, control, ImageButtonProcedure);
  return RegisterGadget(gadget, control, KindTable(KindButtonImage, FillImageButton), g, object);
}

}  // namespace kx
