// The report functions: every library's checking step ends here, and the
// report goes to the front-end (or the console).
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "runtime/debugger/debugger_internal.h"

namespace kx {

namespace {
int (*volatile g_drawingActive)() = nullptr;
void (*volatile g_drawingEnd)() = nullptr;
}  // namespace

void SetDrawingEnd(int (*isActive)(), void (*end)()) {
  g_drawingActive = isActive;
  g_drawingEnd = end;
}

namespace debugger {

int ReportKeyed(int kind, const char* group, const char* key, const char* text) {
  DWORD error = GetLastError();
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->state = kind;
  if (kind == ReportKindQuiet || ProgramEndingElsewhere()) {
    SetLastError(error);
    return record->state;
  }
  if (g_drawingActive && g_drawingEnd && g_drawingActive()) g_drawingEnd();
  if (EndOnError()) {
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

using debugger::ReportKeyed;
using debugger::EnterStop;
using debugger::LeaveStop;
using debugger::ConsoleWarning;

namespace {

// Formatted messages are built per call, so reports from several threads
// never share a buffer.
constexpr int MessageSize = 2048;

int WarnOrReport(const char* key, const char* message) {
  int mode = WarningMode();
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

int ReportLibrary(LibraryTable* library, const char* key) {
  DWORD error = GetLastError();
  const char* text = LibraryText(library, key);
  SetLastError(error);
  return ReportKeyed(ReportKindError, library ? library->group : "", key, text);
}

int ReportPlain(int kind, const char* text) { return ReportKeyed(kind, "", "", text); }

// The debugger as the sink of the core's report calls and thread checks.
const DebuggerSink Sink = {ReportCommon, ReportLibrary, ReportPlain, debugger::CheckThreadProcedure,
                           debugger::ThreadWaiting};

}  // namespace

void debugger::InstallSink() { SetDebuggerSink(&Sink); }

int ReportRuntimeError(int kind, int code) {
  DWORD error = GetLastError();
  char key[16];
  snprintf(key, sizeof key, "%d", code);
  const char* text = CatalogText("DebuggerErrors", key);
  SetLastError(error);
  return ReportKeyed(kind, "DebuggerErrors", key, text);
}

}  // namespace kx
