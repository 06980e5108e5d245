// What the libraries below the debugger need from it, owned by the core so
// that no library includes the debugger: the report calls of their argument
// checks, their message catalog identities, the registration of their object
// lists for the debugger's viewers, and the checks of a thread's start.
//
// The core keeps one sink for these calls.  The debugger installs its own in
// DebuggerStart; until then (or in a program that never starts it) the core's
// fallback serves: a report is printed on the standard error with the
// built-in text of its key, the program goes on after an error or a warning,
// and a fatal report ends the program.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace kx {

// ---- message catalog identities ---------------------------------------------

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

// The built-in library groups (their English texts are the defaults).
extern LibraryTable CommonLibrary;
extern LibraryTable ThreadLibrary;
extern LibraryTable MenuLibrary;
extern LibraryTable ImageLibrary;
extern LibraryTable GadgetLibrary;
extern LibraryTable WindowLibrary;
extern LibraryTable CipherLibrary;
extern LibraryTable FileLibrary;
extern LibraryTable MemoryLibrary;
// All of them, ended by nullptr.
extern LibraryTable* const BuiltInLibraries[];

// Built-in text of key in the library's group (any case); nullptr if none.
const char* BuiltInLibraryText(const LibraryTable* library, const char* key);

// ---- reports ------------------------------------------------------------------

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
// A text without a key, reported with kind.
int Report(int kind, const char* text);
// Each returns the thread's state afterwards (0 = go on).

// ---- library lists for the debugger's viewers -----------------------------------

// A walk visits every row of a list in one call, with the library's list
// lock held from the first row to the last: row text and the row's object
// identifier.  The visitor must not call into the library (its lock is
// held) and must not keep the row text.
using DebuggerListVisitor = void (*)(void* context, const char* row, intptr_t object);
using DebuggerListWalk = void (*)(DebuggerListVisitor visit, void* context);
// Detail text of an object (at most size bytes, NUL-terminated).
using DebuggerListDetail = void (*)(intptr_t object, char* text, int32_t size);
// Data block of an object (heap block, its size stored), handed back to the
// release routine once sent; nullptr when there is none.
using DebuggerListData = void* (*)(intptr_t object, int32_t* size);
using DebuggerListRelease = void (*)(void* data);

// Longest row text a walk hands to its visitor (without the NUL).
constexpr int32_t DebuggerListRowSize = 1100;

constexpr int32_t DebuggerListRows = 1;      // the list has rows
constexpr int32_t DebuggerListDetails = 2;   // objects have a detail text
constexpr int32_t DebuggerListDataBlocks = 4;  // objects have a data block

struct DebuggerList {
  int32_t size;             // sizeof(DebuggerList)
  int32_t flags;            // DebuggerListRows ...
  const char* library;      // "KX_LIBRARY_Thread"
  const char* title;        // "Thread"
  const char* columns;      // "Thread\t100\tPriority\t80..."
  DebuggerListWalk walk;
  DebuggerListDetail detail;    // with DebuggerListDetails
  DebuggerListData data;        // with DebuggerListDataBlocks
  DebuggerListRelease release;  // with DebuggerListDataBlocks
};

// For libraries whose rows come one at a time from their object table: calls
// next until it returns 0 and hands each row to the visitor (the caller has
// started the table's iteration, which holds its lock until the end).
using DebuggerListRowReader = int (*)(char* row, int32_t rowSize, intptr_t* object);
inline void VisitDebuggerRows(DebuggerListRowReader next, DebuggerListVisitor visit, void* context) {
  char row[DebuggerListRowSize + 1];
  intptr_t object = 0;
  while (next(row, int32_t(sizeof row), &object)) visit(context, row, object);
}

// Registers a list (library start, before the debugger starts); the record
// must live for the run.  The core keeps the lists; the debugger reads them.
void RegisterDebuggerList(const DebuggerList* list);
int32_t DebuggerListCount();
const DebuggerList* DebuggerListAt(int32_t index);
const DebuggerList* FindDebuggerList(const char* library);

// Called for every list registered from now on (the link announces it).
using DebuggerListListener = void (*)(const DebuggerList* list);
void SetDebuggerListListener(DebuggerListListener listener);

// ---- threads --------------------------------------------------------------------

// The checks of StartThread's procedure against the program's procedure
// tables (a warning for an address that is no procedure, an error for the
// wrong signature); nothing without a debugger.
void CheckThreadProcedure(const void* code);
// Whether the debugger holds the thread in its line hook while another thread
// has the program stopped (the thread list shows it "Paused").
bool DebuggerThreadWaiting(uint32_t threadId);

// ---- the sink ---------------------------------------------------------------------

struct DebuggerSink {
  // A key of group "Common" formatted with the arguments, as an error or
  // (warning) through the warning mode.
  int (*common)(bool warning, const char* key, va_list args);
  int (*library)(LibraryTable* library, const char* key);
  int (*plain)(int kind, const char* text);
  void (*threadProcedure)(const void* code);
  bool (*threadWaiting)(uint32_t threadId);
};

// Installs the debugger's sink (DebuggerStart); nullptr brings the fallback
// back.  The record must live for the run.
void SetDebuggerSink(const DebuggerSink* sink);

}  // namespace kx
