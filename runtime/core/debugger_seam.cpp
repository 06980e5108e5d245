// The core's side of the libraries' reports and thread checks: the sink the
// debugger installs, and the fallback that serves before it has started.
#include "runtime/core/debugger_seam.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace kx {

namespace {

std::atomic<const DebuggerSink*> g_sink{nullptr};

// The fallback shows a report the way the console does, with the built-in
// text (the catalog files are the debugger's), on the standard error.  A
// fatal report ends the program, as the debugger would; after any other the
// program goes on.
int FallbackReport(int kind, const char* text, bool warning = false) {
  if (kind == ReportKindQuiet) return kind;
  DWORD error = GetLastError();
  fprintf(stderr, "\n[Debugger %s]  %s\n", warning ? "Warning" : "Error", text ? text : "");
  fflush(stderr);
  if (kind == ReportKindFatal) {
    fflush(stdout);
    ExitProcess(1);
  }
  SetLastError(error);
  return 0;
}

int FallbackCommon(bool warning, const char* key, va_list args) {
  DWORD error = GetLastError();
  char text[2048];
  if (const char* format = BuiltInLibraryText(&CommonLibrary, key)) vsnprintf(text, sizeof text, format, args);
  else snprintf(text, sizeof text, "%s", key ? key : "");
  SetLastError(error);
  return FallbackReport(ReportKindError, text, warning);
}

int FallbackLibrary(LibraryTable* library, const char* key) {
  const char* text = BuiltInLibraryText(library, key);
  return FallbackReport(ReportKindError, text ? text : key);
}

}  // namespace

void SetDebuggerSink(const DebuggerSink* sink) { g_sink.store(sink); }

int ReportError(const char* key, ...) {
  va_list args;
  va_start(args, key);
  const DebuggerSink* sink = g_sink.load();
  int state = sink ? sink->common(false, key, args) : FallbackCommon(false, key, args);
  va_end(args);
  return state;
}

int ReportWarning(const char* key, ...) {
  va_list args;
  va_start(args, key);
  const DebuggerSink* sink = g_sink.load();
  int state = sink ? sink->common(true, key, args) : FallbackCommon(true, key, args);
  va_end(args);
  return state;
}

int ReportLibraryError(LibraryTable* library, const char* key) {
  const DebuggerSink* sink = g_sink.load();
  return sink ? sink->library(library, key) : FallbackLibrary(library, key);
}

int Report(int kind, const char* text) {
  const DebuggerSink* sink = g_sink.load();
  return sink ? sink->plain(kind, text) : FallbackReport(kind, text);
}

void CheckThreadProcedure(const void* code) {
  if (const DebuggerSink* sink = g_sink.load()) sink->threadProcedure(code);
}

bool DebuggerThreadWaiting(uint32_t threadId) {
  const DebuggerSink* sink = g_sink.load();
  return sink && sink->threadWaiting(threadId);
}

}  // namespace kx
