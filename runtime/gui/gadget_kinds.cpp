// Kind names and kind tables of the gadget library.
#include <windows.h>

#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

const char* const kKindNames[GadgetKindCount] = {
    "Unknown",           "ButtonGadget",       "StringGadget",      "TextGadget",
    "CheckBoxGadget",    "OptionGadget",       "ListViewGadget",    "Frame3DGadget",
    "ComboBoxGadget",    "ImageGadget",        "HyperLinkGadget",   "ContainerGadget",
    "ListIconGadget",    "IPAddressGadget",    "ProgressBarGadget", "ScrollBarGadget",
    "ScrollAreaGadget",  "TrackBarGadget",     "WebGadget",         "ButtonImageGadget",
    "CalendarGadget",    "DateGadget",         "EditorGadget",      "ExplorerListGadget",
    "ExplorerTreeGadget", "ExplorerComboGadget", "SpinGadget",      "TreeGadget",
    "PanelGadget",       "SplitterGadget",     "MDIGadget",         "ScintillaGadget",
};

// Tables are made by the GUI thread on the first creation of their kind and
// kept for the run.
GadgetKind* kindTables[GadgetKindCount];

}  // namespace

const char* GadgetKindName(int32_t kind) {
  return kind >= 0 && kind < GadgetKindCount ? kKindNames[kind] : kKindNames[KindUnknown];
}

const GadgetKind* KindTable(int32_t kind, GadgetKindFill fill) {
  if (kind < 0 || kind >= GadgetKindCount) return nullptr;
  if (!kindTables[kind]) {
    GadgetKind* table =
        static_cast<GadgetKind*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(GadgetKind)));
    if (!table) return nullptr;
    table->kind = kind;
    table->size = sizeof(GadgetKind);
    if (fill) fill(table);
    kindTables[kind] = table;
  }
  return kindTables[kind];
}

}  // namespace kx
