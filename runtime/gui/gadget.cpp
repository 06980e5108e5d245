// The gadget library: the #Gadget table, creation into the current gadget
// list, the common gadget procedure, the dispatch of parent messages to the
// kinds and the common commands.
#include "runtime/gui/gadget.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget_kind.h"
#include "runtime/gui/gadget_list.h"
#include "runtime/gui/window.h"

namespace kx {

void RegisterGadgetViewer();  // gadget_viewer.cpp

namespace {

const char* const kIdProperty = "KX_ID";
constexpr intptr_t kDestroyedId = -1;

ObjectTable* gadgetTable = nullptr;

void ReleaseGadget(intptr_t gadget);

ObjectTable* GadgetTable() {
  if (!gadgetTable) {
    gadgetTable =
        CreateObjectTable(sizeof(GadgetObject), 50, ReleaseGadget, "#Gadget", HighestGadgetNumber);
  }
  return gadgetTable;
}

// The record of a command's gadget after the "NoObject" check.
GadgetObject* Checked(intptr_t gadget) {
  CheckObject(GadgetTable(), gadget);
  return FindGadget(gadget);
}

// The release function: the control's destruction frees the slot (common
// procedure); a control that is gone already leaves a slot to free here.
void ReleaseGadget(intptr_t gadget) {
  GadgetObject* g = FindGadget(gadget);
  if (!g) return;
  if (IsWindow(g->handle)) DestroyWindow(g->handle);
  if (FindGadget(gadget) == g) FreeObject(GadgetTable(), gadget);
}

LRESULT CALLBACK GadgetProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
  GadgetObject* g = id == kDestroyedId ? nullptr : FindGadget(id);
  if (!g || g->handle != control) return DefWindowProcA(control, message, wParam, lParam);
  // The kind's destroy runs while the control still holds its items (a
  // report list frees the colour arrays its items point to).
  if (message == WM_NCDESTROY && g->kind && g->kind->destroy) g->kind->destroy(g);
  const LRESULT result = CallWindowProcA(g->procedure, control, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    RemovePropA(control, kIdProperty);
    if (RemovePropA(control, DropAcceptProperty)) RevokeDragDrop(control);
    SetWindowLongPtrA(control, GWLP_ID, kDestroyedId);
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g->procedure));
    FreeObject(GadgetTable(), id);
  }
  return result;
}

// Gadget dispatch of the parent messages the window procedure hands on.
int HandleParentMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (!lParam) return 0;
  HWND control = message == WM_NOTIFY ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : reinterpret_cast<HWND>(lParam);
  GadgetObject* g = GadgetOfControl(control);
  if (!g || !g->kind || !g->kind->parentMessage) return 0;
  const LRESULT answer = g->kind->parentMessage(g, window, message, wParam, lParam);
  if (answer == GadgetNotHandled) return 0;
  *result = answer;
  return 1;
}

RECT NativeRect(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

char* NativeText(HWND control, int32_t mark) {
  const int length = GetWindowTextLengthA(control);
  char* out = ReserveStringRoom(length, mark);
  if (!out) return ReturnString("", 0, mark);
  const int got = length > 0 ? GetWindowTextA(control, out, length + 1) : 0;
  out[got] = '\0';
  if (got < length) ReturnStringRoom(length - got);
  return out;
}

}  // namespace

ObjectTable* GadgetTableForViewer() { return GadgetTable(); }

// ---- library ------------------------------------------------------------------

void GadgetLibraryStart() {
  GadgetLibraryLock();
  GadgetTable();
  INITCOMMONCONTROLSEX controls = {sizeof controls, 0xB08};
  InitCommonControlsEx(&controls);
  SetGadgetMessageHandler(HandleParentMessage);
  RegisterGadgetViewer();
}

void GadgetLibraryEnd() {
  if (gadgetTable) FreeAllObjects(gadgetTable);
  GadgetListState* s = CurrentGadgetListState();
  if (s && s->endWindow && IsWindow(s->endWindow)) DestroyWindow(s->endWindow);
}

GadgetObject* FindGadget(intptr_t gadget) {
  return static_cast<GadgetObject*>(FindObject(GadgetTable(), gadget));
}

GadgetObject* GadgetOfControl(HWND control) {
  if (!control || !IsWindow(control)) return nullptr;
  const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
  if (id == kDestroyedId || reinterpret_cast<intptr_t>(GetPropA(control, kIdProperty)) != id) return nullptr;
  GadgetObject* g = FindGadget(id);
  return g && g->handle == control ? g : nullptr;
}

intptr_t GadgetNumber(const GadgetObject* g) { return GetWindowLongPtrA(g->handle, GWLP_ID); }

int32_t GadgetKindOf(intptr_t gadget) {
  GadgetObject* g = FindGadget(gadget);
  return g && g->kind ? g->kind->kind : KindUnknown;
}

// ---- creation -------------------------------------------------------------------

HWND CheckGadgetCreation(intptr_t gadget) {
  HWND list = CurrentGadgetList();
  if (!list) ReportLibraryError(&GadgetLibrary, "NoGadgetList");
  CheckObjectNumber(GadgetTable(), gadget);
  return list;
}

GadgetObject* TakeGadgetSlot(intptr_t gadget, intptr_t* object) {
  void* record = AllocateObject(GadgetTable(), gadget);
  if (!record) return nullptr;
  *object = gadget == DynamicNumber ? DynamicIdentity(GadgetTable(), record) : gadget;
  return static_cast<GadgetObject*>(record);
}

HWND CreateGadgetControl(DWORD exStyle, const char* className, const char* text, DWORD style, int32_t x,
                         int32_t y, int32_t width, int32_t height) {
  HWND list = CurrentGadgetList();
  if (!list) return nullptr;
  return CreateWindowExA(exStyle, className, text ? text : "", style, x, y, width, height, list,
                         reinterpret_cast<HMENU>(kDestroyedId), GetModuleHandleA(nullptr), nullptr);
}

intptr_t RegisterGadget(intptr_t gadget, HWND control, const GadgetKind* kind, GadgetObject* record,
                        intptr_t object) {
  if (!control) {
    if (record) {
      record->handle = nullptr;
      FreeObject(GadgetTable(), object);
    }
    return 0;
  }
  if (!record) {
    record = TakeGadgetSlot(gadget, &object);
    if (!record) {
      DestroyWindow(control);
      return 0;
    }
  }
  record->kind = kind;
  SetPropA(control, kIdProperty, reinterpret_cast<HANDLE>(object));
  SetWindowLongPtrA(control, GWLP_ID, object);
  record->procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProcedure)));
  record->handle = control;  // the gadget exists from here on
  GadgetListState* state = CurrentGadgetListState();
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), TRUE);
  state->optionGroup = 0;
  return gadget == DynamicNumber ? object : reinterpret_cast<intptr_t>(control);
}

void SubclassForKind(GadgetObject* g, intptr_t object, HWND control, WNDPROC procedure) {
  // The record must be found from the first message on.
  SetWindowLongPtrA(control, GWLP_ID, object);
  g->handle = control;
  g->data[3] = SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

GadgetObject* KindRecordOf(HWND control) {
  const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
  if (id == kDestroyedId) return nullptr;
  GadgetObject* g = FindGadget(id);
  return g && g->handle == control ? g : nullptr;
}

LRESULT CallKindProcedure(GadgetObject* g, HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(reinterpret_cast<WNDPROC>(g->data[3]), control, message, wParam, lParam);
}

void PostGadgetEventOf(GadgetObject* g, int32_t type) { PostGadgetEvent(g->handle, GadgetNumber(g), type); }

void RedrawGadget(HWND control) {
  RedrawWindow(control, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INTERNALPAINT | RDW_INVALIDATE);
}

// ---- common commands --------------------------------------------------------------

HWND GadgetID(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  return g ? g->handle : nullptr;
}

intptr_t IsGadget(intptr_t gadget) {
  GadgetObject* g = FindGadget(gadget);
  return g ? reinterpret_cast<intptr_t>(g->handle) : 0;
}

void FreeGadget(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  if (g) ReleaseGadget(gadget);
}

intptr_t GetGadgetState(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getState ? g->kind->getState(g) : 0;
}

void SetGadgetState(intptr_t gadget, intptr_t state) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setState) g->kind->setState(g, state);
}

char* GetGadgetText(intptr_t gadget, int32_t mark) {
  GadgetObject* g = Checked(gadget);
  if (!g) return ReturnString("", 0, mark);
  if (g->kind->getText) return g->kind->getText(g, mark);
  return NativeText(g->handle, mark);
}

void SetGadgetText(intptr_t gadget, const char* text) {
  GadgetObject* g = Checked(gadget);
  if (!g) return;
  if (!text) text = "";
  if (g->kind->setText) {
    g->kind->setText(g, text);
  } else {
    SetWindowTextA(g->handle, text);
  }
}

void DisableGadget(intptr_t gadget, int32_t state) {
  GadgetObject* g = Checked(gadget);
  if (g) EnableWindow(g->handle, state == 0);
}

void HideGadget(intptr_t gadget, int32_t state) {
  GadgetObject* g = Checked(gadget);
  if (g) ShowWindow(g->handle, state ? SW_HIDE : SW_SHOW);
}

void ResizeGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height) {
  GadgetObject* g = Checked(gadget);
  if (!g) return;
  if (g->kind->resize) {
    g->kind->resize(g, x, y, width, height);
    return;
  }
  // WindowIgnorePosition keeps that value.
  const RECT r = NativeRect(g->handle);
  if (x == WindowIgnorePosition) x = r.left;
  if (y == WindowIgnorePosition) y = r.top;
  if (width == WindowIgnorePosition) width = r.right - r.left;
  if (height == WindowIgnorePosition) height = r.bottom - r.top;
  MoveWindow(g->handle, x, y, width, height, TRUE);
}

intptr_t AddGadgetItem(intptr_t gadget, int32_t position, const char* text, intptr_t image, int32_t flags) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->kind == KindPanel) {
    HWND list = CurrentGadgetList();
    if (list != g->handle && GetParent(list) != g->handle) {
      ReportLibraryError(&GadgetLibrary, "NeedOpenGadgetList");
    }
  }
  if (image >= 1 && image <= 999) ReportError("InvalidArgument", "ImageID");
  if (!g) return 0;
  if (!text) text = "";
  if (g->kind->addItemFlags) return g->kind->addItemFlags(g, position, text, image, flags);
  if (g->kind->addItem) return g->kind->addItem(g, position, text, image);
  return 0;
}

void RemoveGadgetItem(intptr_t gadget, int32_t position) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->removeItem) g->kind->removeItem(g, position);
}

void ClearGadgetItems(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->clearItems) g->kind->clearItems(g);
}

intptr_t CountGadgetItems(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->countItems ? g->kind->countItems(g) : 0;
}

intptr_t GetGadgetItemState(intptr_t gadget, int32_t item) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getItemState ? g->kind->getItemState(g, item) : 0;
}

void SetGadgetItemState(intptr_t gadget, int32_t item, intptr_t state) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setItemState) g->kind->setItemState(g, item, state);
}

char* GetGadgetItemText(intptr_t gadget, int32_t item, int32_t column, int32_t mark) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->getItemText) return g->kind->getItemText(g, item, column, mark);
  return ReturnString("", 0, mark);
}

void SetGadgetItemText(intptr_t gadget, int32_t item, const char* text, int32_t column) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setItemText) g->kind->setItemText(g, item, text ? text : "", column);
}

intptr_t GetGadgetAttribute(intptr_t gadget, int32_t attribute) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getAttribute ? g->kind->getAttribute(g, attribute) : 0;
}

void SetGadgetAttribute(intptr_t gadget, int32_t attribute, intptr_t value) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setAttribute) g->kind->setAttribute(g, attribute, value);
}

intptr_t GetGadgetItemAttribute(intptr_t gadget, int32_t item, int32_t attribute, int32_t column) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getItemAttribute ? g->kind->getItemAttribute(g, item, attribute, column) : 0;
}

void SetGadgetItemAttribute(intptr_t gadget, int32_t item, int32_t attribute, intptr_t value, int32_t column) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setItemAttribute) g->kind->setItemAttribute(g, item, attribute, value, column);
}

void SetGadgetColor(intptr_t gadget, int32_t type, intptr_t colour) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setColor) g->kind->setColor(g, type, colour);
}

intptr_t GetGadgetColor(intptr_t gadget, int32_t type) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getColor ? g->kind->getColor(g, type) : 0;
}

void SetGadgetItemColor(intptr_t gadget, int32_t item, int32_t type, intptr_t colour, int32_t column) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setItemColor) g->kind->setItemColor(g, item, type, colour, column);
}

intptr_t GetGadgetItemColor(intptr_t gadget, int32_t item, int32_t type, int32_t column) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getItemColor ? g->kind->getItemColor(g, item, type, column) : 0;
}

void SetGadgetItemData(intptr_t gadget, int32_t item, intptr_t value) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->setItemData) g->kind->setItemData(g, item, value);
}

intptr_t GetGadgetItemData(intptr_t gadget, int32_t item) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->getItemData ? g->kind->getItemData(g, item) : 0;
}

intptr_t AddGadgetColumn(intptr_t gadget, int32_t position, const char* title, int32_t width) {
  GadgetObject* g = Checked(gadget);
  if (position < 0) ReportError("Negative", "Position");
  return g && g->kind->addColumn ? g->kind->addColumn(g, position, title ? title : "", width) : 0;
}

void RemoveGadgetColumn(intptr_t gadget, int32_t column) {
  GadgetObject* g = Checked(gadget);
  if (g && g->kind->removeColumn) g->kind->removeColumn(g, column);
}

intptr_t OpenGadgetList(intptr_t gadget, int32_t item) {
  GadgetObject* g = Checked(gadget);
  return g && g->kind->openGadgetList ? g->kind->openGadgetList(g, item) : 0;
}

void CloseGadgetList() {
  if (!PopGadgetList()) ReportLibraryError(&GadgetLibrary, "NoOpenGadgetList");
}

int32_t GadgetX(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  if (!g) return 0;
  return g->kind->x ? g->kind->x(g) : NativeRect(g->handle).left;
}

int32_t GadgetY(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  if (!g) return 0;
  return g->kind->y ? g->kind->y(g) : NativeRect(g->handle).top;
}

int32_t GadgetWidth(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  if (!g) return 0;
  if (g->kind->width) return g->kind->width(g);
  const RECT r = NativeRect(g->handle);
  return r.right - r.left;
}

int32_t GadgetHeight(intptr_t gadget) {
  GadgetObject* g = Checked(gadget);
  if (!g) return 0;
  if (g->kind->height) return g->kind->height(g);
  const RECT r = NativeRect(g->handle);
  return r.bottom - r.top;
}

}  // namespace kx
