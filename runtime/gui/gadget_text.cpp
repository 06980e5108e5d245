// String gadgets ("Edit") and text gadgets ("Static"): optional front and
// back colours, answered to the parent's WM_CTLCOLOR... messages with a brush
// of the shared cache.  Data words: back colour, front colour, back brush
// (and for the string gadget its kept procedure).
#include <windows.h>

#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

constexpr DWORD kStringStyle = 0x50030080;  // child, visible, group, tab stop, auto scroll
constexpr DWORD kTextStyle = 0x50020000;    // child, visible, group
enum { kBack = 0, kFront = 1, kBrush = 2 };

void SetTextColour(GadgetObject* g, int32_t type, intptr_t colour) {
  if (type == ColorFront) {
    g->data[kFront] = colour;
  } else if (type == ColorBack) {
    ReleaseSharedBrush(reinterpret_cast<HBRUSH>(g->data[kBrush]));
    g->data[kBack] = colour;
    g->data[kBrush] = colour == ColorDefault ? 0 : reinterpret_cast<intptr_t>(TakeSharedBrush(COLORREF(colour)));
  } else {
    return;
  }
  RedrawGadget(g->handle);
}

intptr_t GetTextColour(GadgetObject* g, int32_t type) {
  if (type == ColorFront) return g->data[kFront];
  if (type == ColorBack) return g->data[kBack];
  return 0;
}

// The colours of a WM_CTLCOLOR... answer; systemColour serves as the
// background when only a front colour is set.
LRESULT AnswerColours(GadgetObject* g, HDC dc, int systemColour) {
  const intptr_t front = g->data[kFront];
  const intptr_t back = g->data[kBack];
  if (front != ColorDefault) {
    SetTextColor(dc, COLORREF(front));
    if (back == ColorDefault) {
      SetBkColor(dc, GetSysColor(systemColour));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(systemColour));
    }
  }
  if (back != ColorDefault) {
    SetBkColor(dc, COLORREF(back));
    return g->data[kBrush];
  }
  return GadgetNotHandled;
}

LRESULT StringParentMessage(GadgetObject* g, HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_CTLCOLOREDIT || (message == WM_CTLCOLORSTATIC && IsWindowEnabled(g->handle))) {
    return AnswerColours(g, reinterpret_cast<HDC>(wParam), COLOR_BTNHIGHLIGHT);
  }
  return GadgetNotHandled;
}

LRESULT TextParentMessage(GadgetObject* g, HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_CTLCOLORSTATIC) return AnswerColours(g, reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
  return GadgetNotHandled;
}

void ReleaseBrush(GadgetObject* g) {
  ReleaseSharedBrush(reinterpret_cast<HBRUSH>(g->data[kBrush]));
  g->data[kBrush] = 0;
}

// The string gadget reports focus changes as events 14000 and 14001.
LRESULT CALLBACK StringProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetObject* g = KindRecordOf(control);
  if (!g) return DefWindowProcA(control, message, wParam, lParam);
  if (message == WM_SETFOCUS) PostGadgetEventOf(g, EventTypeFocus);
  if (message == WM_KILLFOCUS) PostGadgetEventOf(g, EventTypeLostFocus);
  return CallKindProcedure(g, control, message, wParam, lParam);
}

void FillString(GadgetKind* k) {
  k->parentMessage = StringParentMessage;
  k->destroy = ReleaseBrush;
  k->setColor = SetTextColour;
  k->getColor = GetTextColour;
}

void FillText(GadgetKind* k) {
  k->parentMessage = TextParentMessage;
  k->destroy = ReleaseBrush;
  k->setColor = SetTextColour;
  k->getColor = GetTextColour;
}

}  // namespace

intptr_t StringGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                      int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  intptr_t object = 0;
  GadgetObject* g = TakeGadgetSlot(gadget, &object);
  if (!g) return 0;
  const DWORD exStyle = (flags & StringBorderless) ? 0 : WS_EX_CLIENTEDGE;
  HWND control = CreateGadgetControl(exStyle, "Edit", text, static_cast<DWORD>(flags) | kStringStyle, x, y,
                                     width, height);
  g->data[kBack] = g->data[kFront] = ColorDefault;
  if (control) SubclassForKind(g, object, control, StringProcedure);
  return RegisterGadget(gadget, control, KindTable(KindString, FillString), g, object);
}

intptr_t TextGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                    int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  const DWORD exStyle = (flags & TextBorder) ? WS_EX_CLIENTEDGE : 0;
  HWND control =
      CreateGadgetControl(exStyle, "Static", text, static_cast<DWORD>(flags) | kTextStyle, x, y, width, height);
  const intptr_t result = RegisterGadget(gadget, control, KindTable(KindText, FillText));
  if (GadgetObject* g = result ? GadgetOfControl(control) : nullptr) {
    g->data[kBack] = g->data[kFront] = ColorDefault;
  }
  return result;
}

}  // namespace kx
