// Built-in catalog texts (internal to the debugger).
#pragma once

#include "runtime/debugger/catalogs.h"

namespace kx {

// The flat debugger table: "_GROUP_" pairs start groups, "_END_" ends it.
extern const LibraryMessage DebuggerMessages[];

}  // namespace kx
