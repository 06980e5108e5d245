// The debugger's own report functions.  The ones every library's checking
// step calls (ReportError, ReportWarning, ReportLibraryError, Report) are
// declared by the core (runtime/core/debugger_seam.h); the debugger is their
// sink once it has started.
#pragma once

#include "runtime/core/debugger_seam.h"
#include "runtime/debugger/catalogs.h"

namespace kx {

// Decimal code looked up in group "DebuggerErrors", reported with kind.
int ReportRuntimeError(int kind, int code);

// Routine of the drawing library that ends an active drawing operation
// before a report is shown.
void SetDrawingEnd(int (*isActive)(), void (*end)());

}  // namespace kx
