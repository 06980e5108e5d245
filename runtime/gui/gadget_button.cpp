// Button and option gadgets ("Button" controls): state = the check mark.
#include <windows.h>

#include "runtime/gui/gadget_kind.h"
#include "runtime/gui/gadget_list.h"

namespace kx {
namespace {

constexpr DWORD kButtonStyle = 0x50030000;  // child, visible, group, tab stop
constexpr DWORD kOptionStyle = 0x50010009;  // child, visible, tab stop, auto radio button
constexpr LONG_PTR kAutoRadio = BS_AUTORADIOBUTTON;

intptr_t CheckState(GadgetObject* g) { return SendMessageA(g->handle, BM_GETCHECK, 0, 0) & 1; }

void SetCheck(GadgetObject* g, intptr_t state) {
  SendMessageA(g->handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Checking an option unchecks the others of its group: back to the nearest
// control with WS_GROUP, then forward while the controls are radio buttons.
void SetOptionState(GadgetObject* g, intptr_t state) {
  if (!state) {
    SetCheck(g, 0);
    return;
  }
  HWND first = g->handle;
  while (first && !(GetWindowLongPtrA(first, GWL_STYLE) & WS_GROUP)) {
    HWND previous = GetWindow(first, GW_HWNDPREV);
    if (!previous) break;
    first = previous;
  }
  for (HWND h = first; h; h = GetWindow(h, GW_HWNDNEXT)) {
    if ((GetWindowLongPtrA(h, GWL_STYLE) & kAutoRadio) != kAutoRadio) break;
    if (h != g->handle) SendMessageA(h, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SetCheck(g, 1);
}

void FillButton(GadgetKind* k) {
  k->getState = CheckState;
  k->setState = SetCheck;
}

void FillOption(GadgetKind* k) {
  k->getState = CheckState;
  k->setState = SetOptionState;
}

}  // namespace

intptr_t ButtonGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                      int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  HWND control = CreateGadgetControl(0, "Button", text, static_cast<DWORD>(flags) | kButtonStyle, x, y, width,
                                     height);
  return RegisterGadget(gadget, control, KindTable(KindButton, FillButton));
}

intptr_t OptionGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text) {
  if (!CheckGadgetCreation(gadget)) return 0;
  GadgetListState* state = CurrentGadgetListState();
  const DWORD style = kOptionStyle | (state->optionGroup ? 0 : WS_GROUP);
  HWND control = CreateGadgetControl(0, "Button", text, style, x, y, width, height);
  const intptr_t result = RegisterGadget(gadget, control, KindTable(KindOption, FillOption));
  if (result) state->optionGroup = 1;
  return result;
}

}  // namespace kx
