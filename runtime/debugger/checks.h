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

// Thread states of the debugger record.
constexpr int StateRunning = 0;
constexpr int StateError = 2;
constexpr int StateCallDebugger = 3;
constexpr int StateProgramEnd = 5;
constexpr int StateFatal = 6;
constexpr int StateBreakpoint = 7;
constexpr int StateStep = 8;

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
extern LibraryTable CommonLibrary;
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

// ---- catalogs -------------------------------------------------------------

// Text of key in group (loaded pairs first, then the built-in ones);
// "### String not found ###" when neither has it.  Groups of the debugger
// catalog and the library groups are all reachable by name.
const char* CatalogText(const char* group, const char* key);
// Text of key in the library's group (loads "Libraries.catalog" on first use).
const char* LibraryText(LibraryTable* library, const char* key);

// Install path (ends with a backslash); default "C:\Program Files\Korvex\".
void SetInstallPath(const char* path);
const char* InstallPath();
// Catalog language (empty in this program).
void SetCatalogLanguage(const char* language);
// Forgets every loaded catalog file, so the next lookup reads them again.
void ResetCatalogs();

// ---- modes and settings ---------------------------------------------------

// Warning mode: 0 ignore, 1 display (default), 2 treat as error.
void SetWarningMode(int mode);
int WarningMode();
// Console error mode: 0 ask (default), 1 ignore, 2 console, 3 exit, 4 report.
void SetErrorMode(int mode);
int ErrorMode();
// Number mode for integer debug output: 0 decimal, 1 hexadecimal.
void SetHexMode(int hex);
int HexMode();
// End-on-error flag: a reported error runs the program's end code first.
void SetEndOnError(int flag);

// The program's end code (run before a fatal exit); default kx::RuntimeEnd.
using EndCodeFunction = void (*)();
void SetEndCode(EndCodeFunction code);
// Runs the end code (once), flushes the standard streams and ends the process.
[[noreturn]] void ExitProgram(int code);

// Routine of the drawing library that ends an active drawing operation.
void SetDrawingEnd(int (*isActive)(), void (*end)());

// ---- front-end seam --------------------------------------------------------

struct ReportDetails {
  int kind;            // 2 error, 6 fatal, 1 warning to display
  const char* group;   // catalog group of the key, "" for a bare Report
  const char* key;     // "" for a bare Report
  const char* text;    // the formatted message
  int32_t line;        // line code of the current line
};

// Debug output value kinds (as on the debugger link).
constexpr int DebugKindLong = 5;
constexpr int DebugKindQuad = 7;
constexpr int DebugKindText = 8;
constexpr int DebugKindFloat = 9;
constexpr int DebugKindDouble = 6;

// A front-end: every pointer may be null, then the console behaviour serves.
struct DebuggerFrontEnd {
  const char* name;
  // An error report; returns the thread's new state (0 = go on).
  int (*error)(const ReportDetails& report, int state);
  // A warning in display mode.
  void (*warning)(const ReportDetails& report);
  // A stop of the line hook (state 3, 5, 7 or 8); returns the new state.
  int (*stop)(int32_t line, int state, void* registers);
  // Debug output of one value (kind as above; value points to the value or the text).
  void (*debugOutput)(int kind, const void* value);
  // DebuggerEnd.
  void (*end)();
  // Called by the line hook on the main thread, before breakpoints are
  // looked at: the place to process messages the front-end has sent.
  void (*poll)(int32_t line, void* registers);
};

// Chooses the front-end (nullptr = the console); returns the previous one.
const DebuggerFrontEnd* SetDebuggerFrontEnd(const DebuggerFrontEnd* frontEnd);
const DebuggerFrontEnd* CurrentDebuggerFrontEnd();

// Console command loop of the interactive console debugger, once it exists
// (entered from "d" at the error prompt, "console" error mode and stops).
using ConsoleLoopFunction = int (*)(int32_t line, int state, void* registers);
void SetConsoleCommandLoop(ConsoleLoopFunction loop);

// Console output target (stdout by default); debug output and error lines go here.
void* ConsoleOutput();                 // FILE*
void SetConsoleOutput(void* file);     // FILE*, nullptr = stdout
// Console input (answers and commands): FILE*, nullptr = stdin; isTerminal
// -1 asks the system whether it is a console, 0/1 decide (tests, scripts).
void* ConsoleInputFile();
void SetConsoleInput(void* file, int isTerminal);

// ---- debug symbol tables ----------------------------------------------------

// Type codes.
constexpr uint8_t TypeByte = 1, TypeWord = 3, TypeLong = 5, TypeStructure = 7, TypeString = 8,
                  TypeFloat = 9, TypeFixedString = 10, TypeChar = 11, TypeDouble = 12,
                  TypeQuad = 13, TypeList = 14, TypeArray = 15, TypeInteger = 21,
                  TypePointerFlag = 0x80;
const char* TypeName(uint8_t type);   // "Long", "String", ...; "" for others

struct ProcedureArgument {
  uint8_t type;
  int32_t offset;      // offset of the argument in the procedure's frame
};

struct ProcedureEntry {
  uint8_t argumentCount;
  const ProcedureArgument* arguments;
  uint8_t resultType;
  const char* name;
  const void* code;           // the procedure's code address
  const void* symbols[3];     // the procedure's own symbol tables
  uint16_t index;
};

struct GlobalVariable {
  uint8_t type;
  const char* name;           // as stored: "v_" + source name ("$" kept)
  void* address;
  const void* structure;      // description for a structure, else nullptr
  int32_t fixedLength;        // kind 10 (fixed-length string): its length
};

struct ExecutableLines {
  int32_t file;               // source file index
  const int32_t* lines;       // ascending line numbers (from 1)
  int32_t count;
};

struct DebugSymbols {
  const char* sourceDirectory;
  const char* mainSource;
  const char* const* sourceFiles;   // included files, main source first
  int32_t sourceFileCount;
  const ProcedureEntry* procedures;
  int32_t procedureCount;
  const GlobalVariable* globals;
  int32_t globalCount;
  const ExecutableLines* lines;
  int32_t lineTableCount;
  const struct ProgramTables* tables;   // arrays, lists, constants, labels (evaluator_symbols.h)
};

// Installs the program's symbol tables (before DebuggerStart or in tests).
void SetDebugSymbols(const DebugSymbols* symbols);
const DebugSymbols* CurrentDebugSymbols();
// Procedure by code address / by index; nullptr if there is none.
const ProcedureEntry* FindProcedureByAddress(const void* code);
const ProcedureEntry* FindProcedureByIndex(int32_t index);
// Calls of the procedure counted by the entry hook.
int32_t ProcedureCallCount(int32_t index);
// File name of a line code's source file ("" if unknown).
const char* SourceFileName(int32_t line);

// ---- per-thread debugger record -------------------------------------------

struct CallStackEntry {
  int32_t procedure;
  void* stackPointer;
  int32_t callingLine;
  void* arguments;     // heap snapshot of the argument values, nullptr if none
};

struct DebuggerRecord {
  int32_t line;
  int32_t state;
  int32_t stepMode;
  int32_t stepCount;
  int32_t stepLine;
  int32_t stepDepth;
  int32_t waiting;
  int32_t depth;           // entries on the call stack
  int32_t stackCapacity;
  CallStackEntry* stack;
};

DebuggerRecord* CurrentDebuggerRecord();

// Argument snapshot as kept on the call stack.
struct ArgumentValue {
  uint8_t type;
  int64_t value;         // integer kinds, float bits, double bits
  const char* text;      // string arguments: copy of at most 200 characters
};
struct ArgumentSnapshot {
  int32_t count;
  ArgumentValue values[1];
};

// ---- hooks called by the application code ---------------------------------

void DebuggerStart(void* stackPointer);
int DebuggerLine(int32_t line, void* registers = nullptr);
void DebuggerProcedureEnter(int32_t procedure, void* stackPointer);
void DebuggerProcedureLeave();
void CallDebugger(int32_t line);
void DebuggerEnd();

void Debug(const char* text);
void Debug(int32_t value);
void Debug(int64_t value);
void Debug(float value);
void Debug(double value);

// Breakpoints (line codes), used by the front-ends.
int AddBreakpoint(int32_t line);
int RemoveBreakpoint(int32_t line);
void ClearBreakpoints(int32_t file);   // -1 = all files
int BreakpointCount();

// Sets the thread's step mode as the front-end asks: 1 count lines, 4 step
// over (another line at the same or a smaller call depth), 5 step out (the
// call depth falls by one; at the outermost level one line).
void SetStepMode(int mode, int count);

// "CallOnStart": stop before the first line; "CallOnEnd": stop once more at
// DebuggerEnd (state 5).
void SetCallOnStart(int flag);
void SetCallOnEnd(int flag);
int CallOnStart();
int CallOnEnd();

// Profiler: one counter per source line, per file a range starting at its
// offset (offsets has file count + 1 entries, the last one the total).  The
// tables come from the table of executable lines; without it they are empty.
void SetProfiling(int on);
int Profiling();
void ResetProfiler();
int32_t ProfilerFileCount();
const int32_t* ProfilerOffsets();
int32_t ProfilerCounterCount();
const int32_t* ProfilerCounters();
// Counter of a line code, -1 if the line lies outside the tables.
int32_t ProfilerCount(int32_t line);

// Procedure call counters: index, or a negative index for all.
void ResetProcedureCallCounts(int32_t index);
int32_t ProcedureCount();   // size of the by-index table

}  // namespace kx
