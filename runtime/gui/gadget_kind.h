// Gadget kinds: one operation table per kind, built zeroed on the first
// creation of the kind and never freed.  A common command calls its kind's
// entry when there is one; without it, text commands use the control's
// native text and every other command does nothing and returns 0.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/gui/gadget.h"

namespace kx {

// Kind numbers (index into GadgetKindName).
enum GadgetKindNumber : int32_t {
  KindUnknown = 0, KindButton = 1, KindString = 2, KindText = 3, KindCheckBox = 4, KindOption = 5,
  KindListView = 6, KindFrame3D = 7, KindComboBox = 8, KindImage = 9, KindHyperLink = 10,
  KindContainer = 11, KindListIcon = 12, KindIPAddress = 13, KindProgressBar = 14, KindScrollBar = 15,
  KindScrollArea = 16, KindTrackBar = 17, KindWeb = 18, KindButtonImage = 19, KindCalendar = 20,
  KindDate = 21, KindEditor = 22, KindExplorerList = 23, KindExplorerTree = 24, KindExplorerCombo = 25,
  KindSpin = 26, KindTree = 27, KindPanel = 28, KindSplitter = 29, KindMDI = 30, KindScintilla = 31,
};
constexpr int32_t GadgetKindCount = 32;

// "ButtonGadget", ...; "Unknown" for numbers outside 0 to 31.
const char* GadgetKindName(int32_t kind);

// Answer of a parent-message handler that did not take the message.
constexpr LRESULT GadgetNotHandled = static_cast<LRESULT>(-0x7FFFFFF0);

// The operation table of a kind: 37 entries in this order.
struct GadgetKind {
  int32_t kind;
  int32_t size;  // sizeof(GadgetKind)
  LRESULT (*parentMessage)(GadgetObject* g, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
  void (*destroy)(GadgetObject* g);
  intptr_t (*getState)(GadgetObject* g);
  void (*setState)(GadgetObject* g, intptr_t state);
  char* (*getText)(GadgetObject* g, int32_t mark);
  void (*setText)(GadgetObject* g, const char* text);
  intptr_t (*addItem)(GadgetObject* g, int32_t position, const char* text, intptr_t image);
  intptr_t (*addItemFlags)(GadgetObject* g, int32_t position, const char* text, intptr_t image, int32_t flags);
  void (*removeItem)(GadgetObject* g, int32_t position);
  void (*clearItems)(GadgetObject* g);
  void (*resize)(GadgetObject* g, int32_t x, int32_t y, int32_t width, int32_t height);
  intptr_t (*countItems)(GadgetObject* g);
  intptr_t (*getItemState)(GadgetObject* g, int32_t item);
  void (*setItemState)(GadgetObject* g, int32_t item, intptr_t state);
  char* (*getItemText)(GadgetObject* g, int32_t item, int32_t column, int32_t mark);
  void (*setItemText)(GadgetObject* g, int32_t item, const char* text, int32_t column);
  intptr_t (*openGadgetList)(GadgetObject* g, int32_t item);
  int32_t (*x)(GadgetObject* g);
  int32_t (*y)(GadgetObject* g);
  int32_t (*width)(GadgetObject* g);
  int32_t (*height)(GadgetObject* g);
  void* unused24;
  intptr_t (*addColumn)(GadgetObject* g, int32_t position, const char* title, int32_t width);
  void (*removeColumn)(GadgetObject* g, int32_t column);
  intptr_t (*getAttribute)(GadgetObject* g, int32_t attribute);
  void (*setAttribute)(GadgetObject* g, int32_t attribute, intptr_t value);
  intptr_t (*getItemAttribute)(GadgetObject* g, int32_t item, int32_t attribute, int32_t column);
  void (*setItemAttribute)(GadgetObject* g, int32_t item, int32_t attribute, intptr_t value, int32_t column);
  void (*setColor)(GadgetObject* g, int32_t type, intptr_t colour);
  intptr_t (*getColor)(GadgetObject* g, int32_t type);
  void (*setItemColor)(GadgetObject* g, int32_t item, int32_t type, intptr_t colour, int32_t column);
  intptr_t (*getItemColor)(GadgetObject* g, int32_t item, int32_t type, int32_t column);
  void (*setItemData)(GadgetObject* g, int32_t item, intptr_t value);
  intptr_t (*getItemData)(GadgetObject* g, int32_t item);
  void* unused37;
};

// The table of a kind, built by fill (which sets the entries it has) on the
// first call for that kind.
using GadgetKindFill = void (*)(GadgetKind* table);
const GadgetKind* KindTable(int32_t kind, GadgetKindFill fill);

// ---- for the kinds' creation commands ----------------------------------------

// The creation checks: a current gadget list ("NoGadgetList") and the number
// ("HighNumber").  Returns the list, 0 if there is none.
HWND CheckGadgetCreation(intptr_t gadget);

// Takes the slot of a gadget before its control exists (kinds whose control
// needs its record while it is being built).  nullptr if the heap is full.
GadgetObject* TakeGadgetSlot(intptr_t gadget, intptr_t* object);

// Makes a native control in the current gadget list (window ID -1).
HWND CreateGadgetControl(DWORD exStyle, const char* className, const char* text, DWORD style, int32_t x,
                         int32_t y, int32_t width, int32_t height);

// The common steps after the kind built its control: slot (taken now unless
// record is given), handle and kind, the common procedure, window ID and
// "KX_ID", the current font, the option-group flag cleared.  Returns what
// the creating command returns (0 and no slot when control is 0).
intptr_t RegisterGadget(intptr_t gadget, HWND control, const GadgetKind* kind, GadgetObject* record = nullptr,
                        intptr_t object = 0);

// Posts message 13103 (gadget event) to the gadget's runtime window.
void PostGadgetEventOf(GadgetObject* g, int32_t type);

// Redraws a control with frame, erase, internal paint and invalidate.
void RedrawGadget(HWND control);

// The kept procedure of a kind that subclasses its control (data word 3):
// every message not handled by the kind goes on to it.
LRESULT CallKindProcedure(GadgetObject* g, HWND control, UINT message, WPARAM wParam, LPARAM lParam);
// Subclasses a control for its kind (before RegisterGadget): the control's
// procedure is kept in data word 3.
void SubclassForKind(GadgetObject* g, intptr_t object, HWND control, WNDPROC procedure);
// The record of a subclassed control from inside its kind procedure.
GadgetObject* KindRecordOf(HWND control);

// ---- shared brush cache and theme state ----------------------------------------

// A solid brush of the colour from the program-wide cache (count raised), and
// its release (deleted when the last user gives it back).
HBRUSH TakeSharedBrush(COLORREF colour);
void ReleaseSharedBrush(HBRUSH brush);
int32_t SharedBrushCount();  // entries now in the cache (tests)

// Common-controls version (major << 16 | minor, 1 when unknown) and the
// themed state, computed once.
int32_t CommonControlsVersion();
bool ThemesActive();

// The per-program library lock (brush cache).
CRITICAL_SECTION* GadgetLibraryLock();

}  // namespace kx
