// The gadget library's part of the debugger's library viewer.
#include <cinttypes>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/gadget_kind.h"
#include "runtime/gui/window.h"

namespace kx {

ObjectTable* GadgetTableForViewer();

namespace {

const char* KindNameOf(const GadgetObject* g) { return GadgetKindName(g->kind ? g->kind->kind : KindUnknown); }

void GadgetListFirst() { BeginObjectIteration(GadgetTableForViewer()); }

int GadgetListNext(char* row, int32_t rowSize, intptr_t* object) {
  intptr_t number = 0;
  GadgetObject* g = static_cast<GadgetObject*>(NextObject(GadgetTableForViewer(), &number));
  if (!g) return 0;
  snprintf(row, static_cast<size_t>(rowSize), "%" PRIdPTR "\t%s\t%s\t%s", number, KindNameOf(g),
           IsWindowVisible(g->handle) ? "" : "Hidden", IsWindowEnabled(g->handle) ? "" : "Disabled");
  if (object) *object = number;
  return 1;
}

void GadgetDetail(intptr_t gadget, char* text, int32_t size) {
  GadgetObject* g = FindGadget(gadget);
  if (!g) {
    snprintf(text, static_cast<size_t>(size), "Gadget not existing!\nGadget Number: %i", static_cast<int>(gadget));
    return;
  }
  const intptr_t handle = reinterpret_cast<intptr_t>(g->handle);
  const int kind = g->kind ? g->kind->kind : KindUnknown;
  int written = snprintf(text, static_cast<size_t>(size),
                         "Gadget Number: %i\nGadget Handle: %i ($%X)\n\n     Type: %s\nOn Window: %i\n\n Disabled: "
                         "%s\n   Hidden: %s\n Position: %i, %i\n     Size: %i, %i",
                         static_cast<int>(gadget), static_cast<int>(handle), static_cast<unsigned>(handle),
                         KindNameOf(g), static_cast<int>(WindowNumberOf(g->handle)),
                         IsWindowEnabled(g->handle) ? "No" : "Yes", IsWindowVisible(g->handle) ? "No" : "Yes",
                         GadgetX(gadget), GadgetY(gadget), GadgetWidth(gadget), GadgetHeight(gadget));
  if (written < 0 || written >= size) return;
  char* rest = text + written;
  const size_t room = static_cast<size_t>(size - written);
  char native[1001] = "";
  switch (kind) {
    case KindButton: case KindCheckBox: case KindOption: case KindSpin:
      GetWindowTextA(g->handle, native, sizeof native);
      snprintf(rest, room, "\n\n    State: %i\n     Text: %s", static_cast<int>(GetGadgetState(gadget)), native);
      break;
    case KindString: case KindText: case KindFrame3D: case KindHyperLink:
      GetWindowTextA(g->handle, native, sizeof native);
      snprintf(rest, room, "\n\n     Text: %s", native);
      break;
    case KindListView: case KindComboBox: case KindListIcon: case KindTree: case KindPanel: case KindMDI:
      snprintf(rest, room, "\n\n    Items: %i\n    State: %i", static_cast<int>(CountGadgetItems(gadget)),
               static_cast<int>(GetGadgetState(gadget)));
      break;
    case KindProgressBar: case KindScrollBar: case KindTrackBar: case KindCalendar: case KindDate:
    case KindSplitter:
      snprintf(rest, room, "\n\n    State: %i", static_cast<int>(GetGadgetState(gadget)));
      break;
    default:
      break;
  }
}

void GadgetListWalk(DebuggerListVisitor visit, void* context) {
  GadgetListFirst();
  VisitDebuggerRows(GadgetListNext, visit, context);
}

const DebuggerList gadgetList = {sizeof(DebuggerList),
                                 DebuggerListRows | DebuggerListDetails,
                                 "KX_LIBRARY_Gadget",
                                 "Gadget",
                                 "#Gadget\t70\tType\t140\tHidden\t90\tDisabled\t90",
                                 GadgetListWalk,
                                 GadgetDetail};

}  // namespace

void RegisterGadgetViewer() { RegisterDebuggerList(&gadgetList); }

// The detail text outside the viewer (tests).
void GadgetDetailText(intptr_t gadget, char* text, int32_t size) { GadgetDetail(gadget, text, size); }

}  // namespace kx
