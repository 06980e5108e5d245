// Gadgets: the controls inside windows (#Gadget objects).  What every gadget
// shares lives here: creation into the thread's current gadget list, the
// record, the common commands and their dispatch through the gadget's kind
// table.  What a kind does sits in its own operation table (gadget_kind.h).
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

struct GadgetKind;

// One slot of the #Gadget table; the control handle is its first word
// (non-zero exactly while the gadget exists).
struct GadgetObject {
  HWND handle;
  const GadgetKind* kind;
  WNDPROC procedure;     // the control's own window procedure
  intptr_t data[4];      // kind-specific words
};

// Numbers the argument checks accept: -1 (DynamicNumber) to 9999.
constexpr intptr_t HighestGadgetNumber = 9999;

// Colour types of SetGadgetColor / GetGadgetColor.
constexpr int32_t ColorFront = 1;
constexpr int32_t ColorBack = 2;
constexpr int32_t ColorLine = 3;
constexpr int32_t ColorDefault = -1;

// Event types a gadget posts (EventType() after a 13100 event).
constexpr int32_t EventTypeLeftClick = 0;
constexpr int32_t EventTypeRightClick = 1;
constexpr int32_t EventTypeLeftDoubleClick = 2;
constexpr int32_t EventTypeRightDoubleClick = 3;
constexpr int32_t EventTypeChange = 768;
constexpr int32_t EventTypeFocus = 14000;
constexpr int32_t EventTypeLostFocus = 14001;
constexpr int32_t EventTypeDragStart = 14002;

// Creation flags the kinds read.
constexpr int32_t StringPassword = 0x20;
constexpr int32_t StringReadOnly = 0x800;
constexpr int32_t StringBorderless = 0x20000;
constexpr int32_t TextBorder = 0x20000;
constexpr int32_t TextCenter = 1;
constexpr int32_t TextRight = 2;
constexpr int32_t ButtonToggle = 4099;
constexpr int32_t ListIconCheckboxes = 1;
constexpr int32_t ListIconMultiSelect = 4;
constexpr int32_t ListIconGridLines = 0x10000;
constexpr int32_t ListIconHeaderDragDrop = 0x10000000;
constexpr int32_t ListIconFullRowSelect = 0x40000000;
constexpr int32_t EditorReadOnly = 2048;

void GadgetLibraryStart();
void GadgetLibraryEnd();

// ---- creation ---------------------------------------------------------------
// Each returns the control handle for a number, the identity for
// DynamicNumber, 0 on failure.

intptr_t ButtonGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                      int32_t flags = 0);
intptr_t StringGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                      int32_t flags = 0);
intptr_t TextGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                    int32_t flags = 0);
intptr_t OptionGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, const char* text);
intptr_t ListIconGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height,
                        const char* title, int32_t titleWidth, int32_t flags = 0);
intptr_t ProgressBarGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height,
                           int32_t minimum, int32_t maximum, int32_t flags = 0);
intptr_t ButtonImageGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height,
                           intptr_t image, int32_t flags = 0);
intptr_t PanelGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height);
intptr_t EditorGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, int32_t flags = 0);

// ---- common commands ------------------------------------------------------------

HWND GadgetID(intptr_t gadget);
intptr_t IsGadget(intptr_t gadget);
void FreeGadget(intptr_t gadget);

intptr_t GetGadgetState(intptr_t gadget);
void SetGadgetState(intptr_t gadget, intptr_t state);
// The text, built at mark (string-return rule).
char* GetGadgetText(intptr_t gadget, int32_t mark);
void SetGadgetText(intptr_t gadget, const char* text);
void DisableGadget(intptr_t gadget, int32_t state);
void HideGadget(intptr_t gadget, int32_t state);
void ResizeGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height);

intptr_t AddGadgetItem(intptr_t gadget, int32_t position, const char* text, intptr_t image = 0,
                       int32_t flags = 0);
void RemoveGadgetItem(intptr_t gadget, int32_t position);
void ClearGadgetItems(intptr_t gadget);
intptr_t CountGadgetItems(intptr_t gadget);
intptr_t GetGadgetItemState(intptr_t gadget, int32_t item);
void SetGadgetItemState(intptr_t gadget, int32_t item, intptr_t state);
char* GetGadgetItemText(intptr_t gadget, int32_t item, int32_t column, int32_t mark);
void SetGadgetItemText(intptr_t gadget, int32_t item, const char* text, int32_t column = 0);
intptr_t GetGadgetAttribute(intptr_t gadget, int32_t attribute);
void SetGadgetAttribute(intptr_t gadget, int32_t attribute, intptr_t value);
intptr_t GetGadgetItemAttribute(intptr_t gadget, int32_t item, int32_t attribute, int32_t column = 0);
void SetGadgetItemAttribute(intptr_t gadget, int32_t item, int32_t attribute, intptr_t value, int32_t column = 0);
void SetGadgetColor(intptr_t gadget, int32_t type, intptr_t colour);
intptr_t GetGadgetColor(intptr_t gadget, int32_t type);
void SetGadgetItemColor(intptr_t gadget, int32_t item, int32_t type, intptr_t colour, int32_t column = -1);
intptr_t GetGadgetItemColor(intptr_t gadget, int32_t item, int32_t type, int32_t column = 0);
void SetGadgetItemData(intptr_t gadget, int32_t item, intptr_t value);
intptr_t GetGadgetItemData(intptr_t gadget, int32_t item);
intptr_t AddGadgetColumn(intptr_t gadget, int32_t position, const char* title, int32_t width);
void RemoveGadgetColumn(intptr_t gadget, int32_t column);

// Gadget lists of containers: OpenGadgetList makes the container's item (tab
// page) the current list; CloseGadgetList goes back to the previous one.
intptr_t OpenGadgetList(intptr_t gadget, int32_t item = -1);
void CloseGadgetList();

int32_t GadgetX(intptr_t gadget);
int32_t GadgetY(intptr_t gadget);
int32_t GadgetWidth(intptr_t gadget);
int32_t GadgetHeight(intptr_t gadget);

// The record of a gadget, nullptr if there is none.
GadgetObject* FindGadget(intptr_t gadget);
// The gadget a control belongs to, nullptr if it is none.
GadgetObject* GadgetOfControl(HWND control);
// Number (or identity) of the gadget whose record this is.
intptr_t GadgetNumber(const GadgetObject* g);
// Kind number of a gadget (0 "Unknown" for none).
int32_t GadgetKindOf(intptr_t gadget);
// The debugger viewer's detail text of a gadget (at most size bytes).
void GadgetDetailText(intptr_t gadget, char* text, int32_t size);

}  // namespace kx
