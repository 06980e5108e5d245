// The report functions every library's checking step calls.
#pragma once

#include "runtime/debugger/catalogs.h"

namespace kx {

// Report kinds (the value stored as the thread's state by Report).
constexpr int ReportKindError = 2;
constexpr int ReportKindQuiet = 4;   // returns at once
constexpr int ReportKindFatal = 6;

// Key of group "Common", printf-formatted with the arguments; kind 2.
int ReportError(const char* key, ...);
// Key of group "Common", through the warning mode (0 ignore, 1 display, 2 error).
int ReportWarning(const char* key, ...);
// Key of the library's own group, unformatted; kind 2.
int ReportLibraryError(LibraryTable* library, const char* key);
// Decimal code looked up in group "DebuggerErrors", reported with kind.
int ReportRuntimeError(int kind, int code);
// Common end of all reports; returns the thread's state afterwards (0 = go on).
int Report(int kind, const char* text);

// Routine of the drawing library that ends an active drawing operation
// before a report is shown.
void SetDrawingEnd(int (*isActive)(), void (*end)());

}  // namespace kx
