// Report functions, the front-end seam, the console's non-interactive error
// handling and the top-level exception filter.
#include "runtime/debugger/checks.h"

#include <windows.h>
#include <io.h>

#include <cstdarg>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "runtime/debugger/debugger_internal.h"
#include "runtime/runtime.h"

namespace kx {

void RegisterDebuggerCatalog();

namespace debugger {

volatile LONG stoppedThread = 0;

namespace {

struct StopLock {
  CRITICAL_SECTION section;
  StopLock() { InitializeCriticalSection(&section); }
};

StopLock& TheStopLock() {
  static StopLock* lock = new StopLock;
  return *lock;
}

}  // namespace

void EnterStop() {
  EnterCriticalSection(&TheStopLock().section);
}

void LeaveStop() { LeaveCriticalSection(&TheStopLock().section); }

void RegisterCatalogsAtStart() { RegisterDebuggerCatalog(); }

namespace {
FILE* volatile g_input = nullptr;       // nullptr = stdin
volatile LONG g_inputTerminal = -1;     // -1 = ask the system
}  // namespace

FILE* ConsoleInput() { return g_input ? g_input : stdin; }

bool StdinIsTerminal() {
  if (g_inputTerminal >= 0) return g_inputTerminal != 0;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
  // NUL is a character device too; only a console answers GetConsoleMode.
  DWORD mode;
  return GetFileType(input) == FILE_TYPE_CHAR && GetConsoleMode(input, &mode);
}

}  // namespace debugger

using namespace debugger;

namespace {

volatile LONG g_warningMode = 1;
volatile LONG g_errorMode = 0;
volatile LONG g_hexMode = 0;
volatile LONG g_endOnError = 0;
EndCodeFunction g_endCode = RuntimeEnd;
int (*g_drawingActive)() = nullptr;
void (*g_drawingEnd)() = nullptr;
void* volatile g_frontEnd = nullptr;  // const DebuggerFrontEnd*
ConsoleLoopFunction g_consoleLoop = nullptr;
FILE* volatile g_output = nullptr;
volatile LONG g_exiting = 0;

void RunEndCode() {
  if (InterlockedExchange(&g_exiting, 1) != 0) return;
  if (g_endCode) g_endCode();
}

FILE* Out() { return g_output ? g_output : stdout; }

int LineNumber(int32_t line) { return line == -1 ? 0 : (line & 0xFFFFFF) + 1; }

}  // namespace

void SetWarningMode(int mode) { InterlockedExchange(&g_warningMode, mode); }
int WarningMode() { return g_warningMode; }
void SetErrorMode(int mode) { InterlockedExchange(&g_errorMode, mode); }
int ErrorMode() { return g_errorMode; }
void SetHexMode(int hex) { InterlockedExchange(&g_hexMode, hex ? 1 : 0); }
int HexMode() { return g_hexMode; }
void SetEndOnError(int flag) { InterlockedExchange(&g_endOnError, flag ? 1 : 0); }
void SetEndCode(EndCodeFunction code) { g_endCode = code; }

void SetDrawingEnd(int (*isActive)(), void (*end)()) {
  g_drawingActive = isActive;
  g_drawingEnd = end;
}

void ExitProgram(int code) {
  RunEndCode();
  fflush(stdout);
  fflush(stderr);
  if (g_output) fflush(g_output);
  ExitProcess(code);
}

const DebuggerFrontEnd* SetDebuggerFrontEnd(const DebuggerFrontEnd* frontEnd) {
  void* previous = InterlockedExchangePointer(&g_frontEnd, const_cast<DebuggerFrontEnd*>(frontEnd));
  return static_cast<const DebuggerFrontEnd*>(previous);
}

const DebuggerFrontEnd* CurrentDebuggerFrontEnd() { return static_cast<const DebuggerFrontEnd*>(g_frontEnd); }

void SetConsoleCommandLoop(ConsoleLoopFunction loop) { g_consoleLoop = loop; }

void* ConsoleOutput() { return Out(); }
void* ConsoleInputFile() { return debugger::ConsoleInput(); }
void SetConsoleInput(void* file, int isTerminal) {
  debugger::g_input = static_cast<FILE*>(file);
  InterlockedExchange(&debugger::g_inputTerminal, isTerminal < 0 ? -1 : (isTerminal ? 1 : 0));
}
void SetConsoleOutput(void* file) { g_output = static_cast<FILE*>(file); }

// ---- console behaviour ------------------------------------------------------

namespace debugger {

namespace {

void Print(FILE* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(out, format, args);
  va_end(args);
  fflush(out);
}

void PrintNotTerminal(FILE* out, bool fatal) {
  if (fatal) {
    Print(out, "\n[Debugger Error]  Fatal error.\n");
  } else {
    Print(out, "[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
    Print(out, "\n[Debugger Error]  a terminal device! The program will be terminated.\n");
  }
}

// Reads one answer line; false at the end of input.
bool ReadAnswer(char* buffer, int size) {
  if (!fgets(buffer, size, ConsoleInput())) return false;
  return true;
}

const char* StateLine(int state) {
  switch (state) {
    case StateError: return "  Program State: error\n";
    case StateCallDebugger: return "  Program State: halted by \"CallDebugger\"\n";
    case StateProgramEnd: return "  Program State: program ended\n";
    case StateFatal: return "  Program State: fatal error\n";
    case StateBreakpoint: return "  Program State: halted by Breakpoint\n";
    case StateStep: return "  Program State: halted by User\n";
    default: return "  Program State: unknown\n";
  }
}

}  // namespace

void WriteReport(FILE* out, int32_t line, int state) {
  Print(out, "\n==============================================\n   Korvex Debugger Report");
  Print(out, "\n==============================================\n\n");
  Print(out, "[Included source files]\n");
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (symbols && symbols->sourceFiles) {
    for (int32_t i = 0; i < symbols->sourceFileCount; ++i) {
      if (symbols->sourceFiles[i]) Print(out, "%s\n", symbols->sourceFiles[i]);
    }
  }
  Print(out, "\n[Program execution information]\n");
  time_t now = time(nullptr);
  const char* date = ctime(&now);  // ends with its own line feed
  Print(out, "%s%s\n\n", date ? date : "\n", GetCommandLineA());
  Print(out, "[Error information]\n");
  Print(out, "Current Line: %d\n", LineNumber(line));
  Print(out, "Current File: %s\n", SourceFileName(line));
  Print(out, "%s\n", StateLine(state));
  // Variables, history, registers and the stack need the interactive
  // console's displays; at an error report none of them is at hand.
  Print(out, "[Global variables]\n\n");
  Print(out, "[Execution history]\n\n");
  Print(out, "[Processor registers]");
  Print(out, "\n  Cannot display register values at this point.\n\n\n");
  Print(out, "[Stack contents]\n");
  Print(out, "Cannot display stack content at this point.\n\n\n");
  Print(out, "[Arrays]\n\n");
  Print(out, "[Linked Lists]\n\n");
  Print(out, "[Environment variables]\n");
  if (char* environment = GetEnvironmentStringsA()) {
    for (const char* v = environment; *v; v += strlen(v) + 1) Print(out, "%s\n", v);
    FreeEnvironmentStringsA(environment);
  }
  Print(out, "\n");
}

int ConsoleError(const ReportDetails& report, int state) {
  FILE* out = Out();
  const char* file = SourceFileName(report.line);
  int lineNumber = LineNumber(report.line);
  int mode = g_errorMode;
  Print(out, "\n[Debugger Error]  %s\n[Debugger Error]  File: %s (Line: %d)\n", report.text, file, lineNumber);
  if (out != stdout && mode != 1) {
    Print(stdout, "\n[Debugger Error]  %s\n[Debugger Error]  File: %s (Line: %d)\n", report.text, file, lineNumber);
  }
  bool fatal = state == StateFatal;
  switch (mode) {
    case 1:  // ignore
      return StateRunning;
    case 2:  // console
      if (StdinIsTerminal()) return g_consoleLoop ? g_consoleLoop(report.line, state, nullptr) : StateRunning;
      PrintNotTerminal(out, false);
      ExitProgram(1);
    case 3:  // exit
      ExitProgram(1);
    case 4:  // report
      WriteReport(out, report.line, state);
      ExitProgram(1);
    default:
      break;
  }
  // ask
  if (!StdinIsTerminal()) {
    PrintNotTerminal(out, fatal);
    ExitProgram(1);
  }
  char answer[502];
  for (;;) {
    if (fatal) {
      Print(stdout, "  Fatal error. Do you with to open the Debugger console? (Yes, No)\n");
      Print(stdout, "  (y,N) ");
    } else {
      Print(stdout, "  Do you wish to continue the program? (Yes, No, Debugger Console, Ignore all)\n");
      Print(stdout, "  (y,N,d,i) ");
    }
    if (!ReadAnswer(answer, sizeof answer)) {
      Print(stdout, "\n[Debugger Error]  Input error from stdin, program is exiting.\n\n");
      ExitProgram(1);
    }
    char c = answer[0];
    if (c == 'n' || c == 'N' || c == ' ' || c == '\n' || c == '\r' || c == 0) ExitProgram(1);
    if (c == 'y' || c == 'Y') {
      if (!fatal) return StateRunning;
      return g_consoleLoop ? g_consoleLoop(report.line, state, nullptr) : StateRunning;
    }
    if (!fatal && (c == 'd' || c == 'D')) {
      return g_consoleLoop ? g_consoleLoop(report.line, state, nullptr) : StateRunning;
    }
    if (!fatal && (c == 'i' || c == 'I')) {
      SetErrorMode(1);
      return StateRunning;
    }
  }
}

void ConsoleWarning(const ReportDetails& report) {
  Print(Out(), "\n[Debugger Warning]  %s\n[Debugger Warning]  File: %s (Line: %d)\n", report.text,
        SourceFileName(report.line), LineNumber(report.line));
}

int ConsoleStop(int32_t line, int state, void* registers) {
  if (StdinIsTerminal() && g_consoleLoop) return g_consoleLoop(line, state, registers);
  FILE* out = Out();
  Print(out, "\n[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
  Print(out, "\n[Debugger Error]  a terminal device! File: %s (Line: %d)", SourceFileName(line), LineNumber(line));
  Print(out, "\n[Debugger Error]  Program execution continues...\n");
  return StateRunning;
}

void ConsoleDebugOutput(int kind, const void* value) {
  FILE* out = Out();
  switch (kind) {
    case DebugKindText:
      Print(out, "[Debugger]  %s\n", value ? static_cast<const char*>(value) : "");
      break;
    case DebugKindLong:
      if (g_hexMode) Print(out, "[Debugger]  $%X\n", unsigned(*static_cast<const int32_t*>(value)));
      else Print(out, "[Debugger]  %d\n", int(*static_cast<const int32_t*>(value)));
      break;
    case DebugKindQuad: {
      char text[32];
      snprintf(text, sizeof text, "%lld", static_cast<long long>(*static_cast<const int64_t*>(value)));
      Print(out, "[Debugger]  %s\n", text);
      break;
    }
    case DebugKindFloat:
      Print(out, "[Debugger]  %f\n", double(*static_cast<const float*>(value)));
      break;
    case DebugKindDouble:
      Print(out, "[Debugger]  %g\n", *static_cast<const double*>(value));
      break;
    default:
      break;
  }
}

void ConsoleStart() {
  // A GUI program has no console yet: give it one, as the console debugger
  // prints there and reads its answers from it.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    if (AllocConsole()) {
      SetConsoleTitleA("Korvex Console Debugger (press Ctrl+C to stop program)");
      COORD size = {80, 500};
      SetConsoleScreenBufferSize(GetStdHandle(STD_OUTPUT_HANDLE), size);
      freopen("CONOUT$", "w", stdout);
      freopen("CONOUT$", "w", stderr);
      freopen("CONIN$", "r", stdin);
      setvbuf(stdout, nullptr, _IONBF, 0);
      setvbuf(stderr, nullptr, _IONBF, 0);
    }
  }
}

void ConsoleEnd() {
  FILE* out = g_output;
  if (out && out != stdout && out != stderr) {
    g_output = nullptr;
    fclose(out);
  }
}

// ---- reports ------------------------------------------------------------------

int ReportKeyed(int kind, const char* group, const char* key, const char* text) {
  DWORD error = GetLastError();
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->state = kind;
  if (kind == ReportKindQuiet) {
    SetLastError(error);
    return record->state;
  }
  if (g_drawingActive && g_drawingEnd && g_drawingActive()) g_drawingEnd();
  if (g_endOnError) {
    RunEndCode();
    record->state = StateFatal;
  }
  ReportDetails details = {kind, group ? group : "", key ? key : "", text ? text : "", record->line};
  EnterStop();
  LONG previous = InterlockedExchange(&stoppedThread, LONG(GetCurrentThreadId()));
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  int state = frontEnd && frontEnd->error ? frontEnd->error(details, record->state)
                                          : ConsoleError(details, record->state);
  InterlockedExchange(&stoppedThread, previous);
  LeaveStop();
  record->state = state;
  SetLastError(error);
  return state;
}

}  // namespace debugger

namespace {

// Formatted messages are built per call, so reports from several threads
// never share a buffer.
constexpr int MessageSize = 2048;

int WarnOrReport(const char* key, const char* message) {
  int mode = g_warningMode;
  if (mode == 0) return StateRunning;
  if (mode == 2) {
    char text[MessageSize + 64];
    snprintf(text, sizeof text, "(%s) %s", CatalogText("Debugger", "Warning"), message);
    return ReportKeyed(ReportKindError, "Common", key, text);
  }
  DWORD error = GetLastError();
  ReportDetails details = {1, "Common", key, message, CurrentDebuggerRecord()->line};
  EnterStop();
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  if (frontEnd && frontEnd->warning) frontEnd->warning(details);
  else ConsoleWarning(details);
  LeaveStop();
  SetLastError(error);
  return StateRunning;
}

// A key of group "Common" formatted with the arguments, reported as an error
// or through the warning mode; the thread's last error code survives it.
int ReportCommon(bool warning, const char* key, va_list args) {
  DWORD error = GetLastError();
  char text[MessageSize];
  vsnprintf(text, sizeof text, CatalogText("Common", key), args);
  SetLastError(error);
  int state = warning ? WarnOrReport(key, text) : ReportKeyed(ReportKindError, "Common", key, text);
  SetLastError(error);
  return state;
}

}  // namespace

int ReportError(const char* key, ...) {
  va_list args;
  va_start(args, key);
  int state = ReportCommon(false, key, args);
  va_end(args);
  return state;
}

int ReportWarning(const char* key, ...) {
  va_list args;
  va_start(args, key);
  int state = ReportCommon(true, key, args);
  va_end(args);
  return state;
}

int ReportLibraryError(LibraryTable* library, const char* key) {
  DWORD error = GetLastError();
  const char* text = LibraryText(library, key);
  SetLastError(error);
  return ReportKeyed(ReportKindError, library ? library->group : "", key, text);
}

int ReportRuntimeError(int kind, int code) {
  DWORD error = GetLastError();
  char key[16];
  snprintf(key, sizeof key, "%d", code);
  const char* text = CatalogText("DebuggerErrors", key);
  SetLastError(error);
  return ReportKeyed(kind, "DebuggerErrors", key, text);
}

int Report(int kind, const char* text) { return ReportKeyed(kind, "", "", text); }

// ---- system exceptions ----------------------------------------------------------

const char* ExceptionKey(DWORD code, const EXCEPTION_RECORD* record) {
  switch (code) {
    case 0xC0000005:
      return record && record->NumberParameters >= 1 && record->ExceptionInformation[0] == 1
                 ? "InvalidMemoryWrite"
                 : "InvalidMemoryRead";
    case 0xC0000006: return "PageError";
    case 0xC000001D: case 0xC0000096: return "IllegalInstruction";
    case 0xC000008E: case 0xC0000094: return "DivisionByZero";
    case 0xC000008F: case 0xC0000090: return "FloatInvalid";
    case 0xC0000091: return "FloatOverflow";
    case 0xC0000092: case 0xC00000FD: return "StackOverflow";
    case 0xC0000093: return "FloatUnderflow";
    case 0xC0000095: return "IntegerOverflow";
    default: return nullptr;
  }
}

namespace {

LONG WINAPI TopLevelFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
  if (!record) return EXCEPTION_CONTINUE_SEARCH;
  const char* key = ExceptionKey(record->ExceptionCode, record);
  if (!key) return EXCEPTION_CONTINUE_SEARCH;
  char text[512];
  if (record->ExceptionCode == 0xC0000005) {
    char address[24];
    snprintf(address, sizeof address, "%" PRIuPTR,
             uintptr_t(record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0));
    snprintf(text, sizeof text, CatalogText("SystemErrors", key), address);
  } else {
    snprintf(text, sizeof text, "%s", CatalogText("SystemErrors", key));
  }
  ReportKeyed(ReportKindFatal, "SystemErrors", key, text);
  ExitProgram(1);
}

}  // namespace

void InstallExceptionFilter() { SetUnhandledExceptionFilter(TopLevelFilter); }

}  // namespace kx
