// The debugger link as the debugger's front-end: the start messages and the
// wait for the front-end, reports, warnings, stops and debug output sent
// over the link, the processing of the front-end's requests from the line
// hook and while stopped, and the end.
#include <windows.h>

#include <cstring>

#include "runtime/core/debugger_seam.h"
#include "runtime/debugger/link_internal.h"

namespace kx {
namespace link {

namespace {

// Processes the queued messages for the calling thread, with the program's
// other threads held in their line hooks.
void ProcessQueued(int32_t line, void* registers) {
  debugger::EnterStop();
  LONG previous = InterlockedExchange(&debugger::stoppedThread, LONG(GetCurrentThreadId()));
  StopContext saved = CurrentStop();
  CurrentStop() = {line, static_cast<SavedRegisters*>(registers)};
  Incoming message;
  while (TakeMessage(message)) Dispatch(message);
  CurrentStop() = saved;
  InterlockedExchange(&debugger::stoppedThread, previous);
  debugger::LeaveStop();
}

void Poll(int32_t line, void* registers) {
  if (MessagesQueued()) ProcessQueued(line, registers);
}

int Error(const ReportDetails& report, int state) {
  Outgoing text;
  text.Text(report.text);
  Send(SendError, report.line, state, &text);
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->state = state;
  CurrentStop() = {report.line, nullptr};
  WaitWhileStopped(record);
  return record->state;
}

void Warning(const ReportDetails& report) {
  Outgoing text;
  text.Text(report.text);
  Send(SendWarning, report.line, CurrentDebuggerRecord()->state, &text);
}

int Stop(int32_t line, int state, void* registers) {
  Send(SendStop, line, state);
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->state = state;
  StopContext saved = CurrentStop();
  CurrentStop() = {line, static_cast<SavedRegisters*>(registers)};
  CheckWatchList(false);
  WaitWhileStopped(record);
  CheckWatchList(false);
  CurrentStop() = saved;
  return record->state;
}

void DebugOutput(int kind, const void* value) {
  Outgoing data;
  switch (kind) {
    case DebugKindLong:
      Send(SendDebug, *static_cast<const int32_t*>(value), DebugLong);
      return;
    case DebugKindQuad:
      data.Bytes(value, 8);
      Send(SendDebug, 0, DebugQuad, &data);
      return;
    case DebugKindFloat:
      data.Bytes(value, 4);
      Send(SendDebug, 0, DebugFloat, &data);
      return;
    case DebugKindDouble:
      SendRaw(SendDebugDouble, value, 8);
      return;
    default:
      data.Text(static_cast<const char*>(value));
      Send(SendDebug, 0, DebugText, &data);
      return;
  }
}

// The stop lock for the end; false when another thread holds the program
// stopped: that thread waits for this end (it parks once the end code runs
// elsewhere) and keeps the lock.
bool TakeStopForEnd() {
  for (;;) {
    if (debugger::TryEnterStop()) return true;
    LONG holder = debugger::stoppedThread;
    if (holder && DWORD(holder) != GetCurrentThreadId()) return false;
    Sleep(1);
  }
}

void End() {
  if (!TakeStopForEnd()) {
    // Ended from outside a stop (the kill mutex): what is still queued is
    // of no use to a front-end that asked for the end.
    SetDebuggerListListener(nullptr);
    Close();
    return;
  }
  CheckWatchList(false);
  LONG previous = InterlockedExchange(&debugger::stoppedThread, LONG(GetCurrentThreadId()));
  Incoming message;
  while (TakeMessage(message)) Dispatch(message);
  if (Profiling()) {
    Dispatch(Incoming{{RequestProfilerOffsets, 0, 0, 0, 0}, {0, 0}});
    Dispatch(Incoming{{RequestProfilerCounters, 0, 0, 0, 0}, {0, 0}});
  }
  SetDebuggerListListener(nullptr);
  Close();
  InterlockedExchange(&debugger::stoppedThread, previous);
  debugger::LeaveStop();
}

const DebuggerFrontEnd LinkFrontEnd = {"link", Error, Warning, Stop, DebugOutput, End, Poll};

void ListRegistered(const DebuggerList*) { AnnounceLibraryLists(); }

}  // namespace

StopContext& CurrentStop() {
  static thread_local StopContext context = {-1, nullptr};
  return context;
}

void WaitWhileStopped(DebuggerRecord* record) {
  Incoming message;
  while (record->state != StateRunning) {
    // The kill watcher ends the program meanwhile: this stop never ends.
    if (debugger::ProgramEndingElsewhere()) debugger::ParkWhileProgramEnds();
    if (TakeMessage(message)) Dispatch(message);
    else Sleep(1);
  }
}

}  // namespace link

namespace debugger {

bool LinkStart() {
  if (!link::Connect()) return false;
  SetDebuggerFrontEnd(&link::LinkFrontEnd);
  const DebugSymbols* symbols = CurrentDebugSymbols();
  link::Outgoing sources;
  int32_t files = symbols ? symbols->sourceFileCount : 0;
  sources.Text(symbols ? symbols->sourceDirectory : "");
  sources.Text(symbols ? symbols->mainSource : "");
  for (int32_t i = 0; i < files; ++i) sources.Text(symbols->sourceFiles ? symbols->sourceFiles[i] : "");
  link::Send(link::SendSources, files, 5, &sources);
  link::Send(link::SendStart, 2, 65537);   // a thread-safe program, not in unicode mode
  SetDebuggerListListener(link::ListRegistered);
  return true;
}

void LinkWaitForRun() {
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->state = StateCallDebugger;
  link::Incoming message;
  while (record->state != StateRunning) {
    if (ProgramEndingElsewhere()) ParkWhileProgramEnds();
    if (link::TakeMessage(message)) link::Dispatch(message);
    else Sleep(5);
  }
}

}  // namespace debugger
}  // namespace kx
