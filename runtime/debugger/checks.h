// Runtime checks and error reports: message catalogs, the report functions
// that every library's checking step calls, the line and procedure hooks and
// the seam to the debugger front-end.
#pragma once

#include <cstdint>

namespace kx {

// Report kinds (the value stored as the thread's state by Report).
constexpr int ReportKindError = 2;
constexpr int ReportKindQuiet = 4;   // returns at once
constexpr int ReportKindFatal = 6;

// A library's own message group, loaded from "Libraries.catalog" on first use.
struct LibraryMessage {
  const char* key;
  const char* text;
};

struct LibraryTable {
  const char* catalogFile;      // "Libraries.catalog"
  const char* catalogName;      // "KX_Libraries"
  const char* group;            // "Thread", "File", "Memory", ...
  int32_t loaded;               // 0 until first use
  const LibraryMessage* defaults;  // ended by {"", ""}
};

// The built-in library groups.
extern LibraryTable ThreadLibrary;
extern LibraryTable MenuLibrary;
extern LibraryTable ImageLibrary;
extern LibraryTable GadgetLibrary;
extern LibraryTable WindowLibrary;
extern LibraryTable CipherLibrary;
extern LibraryTable FileLibrary;
extern LibraryTable MemoryLibrary;

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

}  // namespace kx
