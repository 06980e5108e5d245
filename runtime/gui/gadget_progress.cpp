// Progress bars ("msctls_progress32") with a 32-bit range.  Data words: back
// colour, bar colour (-1 = default).
#include <windows.h>
#include <commctrl.h>

#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

constexpr DWORD kProgressStyle = 0x50000000;  // child, visible
constexpr int32_t kMinimum = 1;
constexpr int32_t kMaximum = 2;
enum { kBack = 0, kBar = 1 };

intptr_t Position(GadgetObject* g) { return SendMessageA(g->handle, PBM_GETPOS, 0, 0); }
void SetPosition(GadgetObject* g, intptr_t value) { SendMessageA(g->handle, PBM_SETPOS, WPARAM(value), 0); }

intptr_t Bound(GadgetObject* g, int32_t attribute) {
  if (attribute == kMinimum) return int32_t(SendMessageA(g->handle, PBM_GETRANGE, 1, 0));
  if (attribute == kMaximum) return int32_t(SendMessageA(g->handle, PBM_GETRANGE, 0, 0));
  return 0;
}

void SetBound(GadgetObject* g, int32_t attribute, intptr_t value) {
  if (attribute != kMinimum && attribute != kMaximum) return;
  const intptr_t minimum = attribute == kMinimum ? value : Bound(g, kMinimum);
  const intptr_t maximum = attribute == kMaximum ? value : Bound(g, kMaximum);
  SendMessageA(g->handle, PBM_SETRANGE32, WPARAM(minimum), LPARAM(maximum));
}

void SetColour(GadgetObject* g, int32_t type, intptr_t colour) {
  const LPARAM native = colour == ColorDefault ? LPARAM(CLR_DEFAULT) : LPARAM(colour);
  if (type == ColorFront) {
    g->data[kBar] = colour;
    SendMessageA(g->handle, PBM_SETBARCOLOR, 0, native);
  } else if (type == ColorBack) {
    g->data[kBack] = colour;
    SendMessageA(g->handle, CCM_SETBKCOLOR, 0, native);
  }
}

intptr_t Colour(GadgetObject* g, int32_t type) {
  if (type == ColorFront) return g->data[kBar];
  if (type == ColorBack) return g->data[kBack];
  return 0;
}

void FillProgress(GadgetKind* k) {
  k->getState = Position;
  k->setState = SetPosition;
  k->getAttribute = Bound;
  k->setAttribute = SetBound;
  k->setColor = SetColour;
  k->getColor = Colour;
}

}  // namespace

intptr_t ProgressBarGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, int32_t minimum,
                           int32_t maximum, int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  HWND control = CreateGadgetControl(0, PROGRESS_CLASSA, "", static_cast<DWORD>(flags) | kProgressStyle, x, y,
                                     width, height);
  if (control) SendMessageA(control, PBM_SETRANGE32, WPARAM(minimum), LPARAM(maximum));
  const intptr_t result = RegisterGadget(gadget, control, KindTable(KindProgressBar, FillProgress));
  if (GadgetObject* g = result ? GadgetOfControl(control) : nullptr) {
    g->data[kBack] = g->data[kBar] = ColorDefault;
  }
  return result;
}

}  // namespace kx
