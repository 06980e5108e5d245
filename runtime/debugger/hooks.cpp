// The hooks the application code calls (start, lines, procedures, debug
// output, end) and the per-thread debugger record they keep.
#include <windows.h>

#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/hooks.h"

namespace kx {

namespace {

using namespace debugger;

int32_t g_recordOffset = -1;
DebuggerRecord g_fallbackRecord = {};  // before DebuggerStart registered the per-thread part
volatile LONG g_started = 0;
DWORD g_mainThread = 0;
void* g_startStack = nullptr;

constexpr int32_t StackStep = 16000;
constexpr int ArgumentTextLimit = 200;

void FreeSnapshot(void* snapshot) {
  if (snapshot) HeapFree(GetProcessHeap(), 0, snapshot);
}

void InitRecord(void* part) {
  DebuggerRecord* record = static_cast<DebuggerRecord*>(part);
  std::memset(record, 0, sizeof *record);
}

void FreeRecord(void* part) {
  DebuggerRecord* record = static_cast<DebuggerRecord*>(part);
  for (int32_t i = 0; i < record->depth; ++i) FreeSnapshot(record->stack[i].arguments);
  if (record->stack) HeapFree(GetProcessHeap(), 0, record->stack);
  record->stack = nullptr;
  record->depth = record->stackCapacity = 0;
}

// Threads held waiting by the line hook, by thread ID (0 = free slot), so
// that the thread list can show them from any thread.  A thread past the
// last slot still waits, it only shows as running.
constexpr int WaitingSlots = 256;
volatile LONG g_waitingIds[WaitingSlots];

int MarkWaiting(DebuggerRecord* record) {
  record->waiting = 1;
  LONG id = LONG(GetCurrentThreadId());
  for (int i = 0; i < WaitingSlots; ++i) {
    if (InterlockedCompareExchange(&g_waitingIds[i], id, 0) == 0) return i;
  }
  return -1;
}

void ClearWaiting(DebuggerRecord* record, int slot) {
  if (slot >= 0) InterlockedExchange(&g_waitingIds[slot], 0);
  record->waiting = 0;
}

// A stop of the line hook: hand over to the front-end, others wait.
int StopHere(DebuggerRecord* record, int32_t line, void* registers) {
  EnterStop();
  LONG previous = InterlockedExchange(&stoppedThread, LONG(GetCurrentThreadId()));
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  int state = frontEnd && frontEnd->stop ? frontEnd->stop(line, record->state, registers)
                                         : ConsoleStop(line, record->state, registers);
  InterlockedExchange(&stoppedThread, previous);
  LeaveStop();
  record->state = state;
  return state;
}

}  // namespace

// ---- record ----

DebuggerRecord* CurrentDebuggerRecord() {
  if (g_recordOffset < 0) return &g_fallbackRecord;
  DebuggerRecord* record = static_cast<DebuggerRecord*>(GetThreadRecord(g_recordOffset));
  return record ? record : &g_fallbackRecord;
}

bool debugger::ThreadWaiting(uint32_t threadId) {
  if (threadId == 0) return false;
  for (int i = 0; i < WaitingSlots; ++i) {
    if (DWORD(g_waitingIds[i]) == threadId) return true;
  }
  return false;
}

DWORD debugger::MainThread() { return g_mainThread; }
void* debugger::StartStack() { return g_startStack; }

namespace {
volatile LONG g_mainStopRequest = 0;
}  // namespace

void debugger::RequestMainStop() {
  InterlockedExchange(&g_mainStopRequest, 1);
  if (g_mainThread) PostThreadMessageA(g_mainThread, WM_NULL, 0, 0);
}

debugger::ProcedureWatchFunction volatile debugger::procedureWatch = nullptr;

// ---- start and end ----

void DebuggerStart(void* stackPointer) {
  if (InterlockedExchange(&g_started, 1) != 0) return;
  g_startStack = stackPointer;
  g_mainThread = GetCurrentThreadId();
  // From here on the libraries' reports and thread checks come here.
  InstallSink();
  RegisterDebuggerCatalog();
  g_recordOffset = RegisterThreadRecord(sizeof(DebuggerRecord), InitRecord, FreeRecord);
  if (g_recordOffset >= 0) {
    // Whatever the fallback record saw before the start stays visible.
    DebuggerRecord* record = static_cast<DebuggerRecord*>(GetThreadRecord(g_recordOffset));
    if (record) {
      record->line = g_fallbackRecord.line;
      record->state = g_fallbackRecord.state;
    }
  }
  InstallExceptionFilter();
  bool linked = !CurrentDebuggerFrontEnd() && LinkStart();
  if (!linked && !CurrentDebuggerFrontEnd()) ConsoleStart();
  BuildProfiler();
  if (linked) LinkWaitForRun();
  if (CallOnStart()) CurrentDebuggerRecord()->state = StateCallDebugger;
}

void DebuggerEnd() {
  if (InterlockedExchange(&g_started, 0) == 0) return;
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (CallOnEnd() && record->state == StateRunning && !KillRequested()) {
    record->state = StateProgramEnd;
    StopHere(record, record->line, nullptr);
  }
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  if (frontEnd && frontEnd->end) frontEnd->end();
  ConsoleEnd();
}

// ---- line hook ----

int DebuggerLine(int32_t line, void* registers) {
  DebuggerRecord* record = CurrentDebuggerRecord();
  LONG stopped = stoppedThread;
  if (stopped && DWORD(stopped) != GetCurrentThreadId()) {
    int slot = MarkWaiting(record);
    while (stoppedThread && DWORD(stoppedThread) != GetCurrentThreadId()) {
      if (ProgramEndingElsewhere()) ParkWhileProgramEnds();
      Sleep(10);
    }
    ClearWaiting(record, slot);
  }
  int32_t previous = record->line;
  record->line = line;
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  if (frontEnd && frontEnd->poll && GetCurrentThreadId() == g_mainThread) frontEnd->poll(line, registers);
  ProfileLine(line);
  if (g_mainStopRequest && GetCurrentThreadId() == g_mainThread && InterlockedExchange(&g_mainStopRequest, 0)) {
    record->stepMode = 0;
    record->state = StateStep;   // "halted by User"
  }
  if (record->stepMode == 0 && line != previous && IsBreakpoint(line)) {
    record->state = StateBreakpoint;
  }
  if (record->stepMode > 0) {
    bool stop = false;
    if (record->stepMode == 4) {
      stop = line != record->stepLine && record->depth <= record->stepDepth;
    } else if (record->stepMode == 5) {
      stop = record->depth == record->stepDepth;
    } else {
      stop = --record->stepCount < 1;
    }
    if (stop) {
      record->stepMode = 0;
      record->state = StateStep;
    }
  }
  int state = record->state;
  if (state == StateRunning) return 0;
  if (state == StateError || state == StateFatal) return state;
  if (state != StateCallDebugger && state != StateProgramEnd && state != StateBreakpoint && state != StateStep) {
    record->state = StateRunning;  // a quiet report leaves nothing to do
    return 0;
  }
  return StopHere(record, line, registers);
}

void CallDebugger(int32_t line) {
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->line = line;
  record->state = StateCallDebugger;
  StopHere(record, line, nullptr);
}

// ---- procedure hooks ----

namespace {

void* SnapshotArguments(const ProcedureEntry* procedure, void* stackPointer) {
  if (!procedure || procedure->argumentCount == 0 || !procedure->arguments) return nullptr;
  int count = procedure->argumentCount;
  size_t bytes = sizeof(ArgumentSnapshot) + sizeof(ArgumentValue) * (count - 1);
  size_t textStart = bytes;
  for (int i = 0; i < count; ++i) {
    if ((procedure->arguments[i].type & 0x7F) == TypeString && !(procedure->arguments[i].type & TypePointerFlag)) {
      bytes += ArgumentTextLimit + 1;
    }
  }
  ArgumentSnapshot* snapshot = static_cast<ArgumentSnapshot*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
  if (!snapshot) return nullptr;
  snapshot->count = count;
  char* texts = reinterpret_cast<char*>(snapshot) + textStart;
  const char* frame = static_cast<const char*>(stackPointer);
  for (int i = 0; i < count; ++i) {
    const ProcedureArgument& argument = procedure->arguments[i];
    ArgumentValue& value = snapshot->values[i];
    value.type = argument.type;
    if (!frame) {
      if (argument.type == TypeString) {  // an empty copy, never a null text
        value.text = texts;
        texts += ArgumentTextLimit + 1;
      }
      continue;
    }
    const char* at = frame + argument.offset;
    if (argument.type & TypePointerFlag) {
      value.value = intptr_t(*reinterpret_cast<void* const*>(at));
      continue;
    }
    switch (argument.type) {
      case TypeByte: value.value = *reinterpret_cast<const int8_t*>(at); break;
      case TypeChar: value.value = *reinterpret_cast<const uint8_t*>(at); break;
      case TypeWord: value.value = *reinterpret_cast<const int16_t*>(at); break;
      case TypeLong: value.value = *reinterpret_cast<const int32_t*>(at); break;
      case TypeInteger: value.value = *reinterpret_cast<const intptr_t*>(at); break;
      case TypeFloat: value.value = *reinterpret_cast<const uint32_t*>(at); break;
      case TypeDouble:
      case TypeQuad: std::memcpy(&value.value, at, 8); break;
      case TypeString: {
        const char* source = *reinterpret_cast<const char* const*>(at);
        int n = 0;
        if (source) {
          while (n < ArgumentTextLimit && source[n]) ++n;
          std::memcpy(texts, source, n);
        }
        texts[n] = 0;
        value.text = texts;
        texts += ArgumentTextLimit + 1;
        break;
      }
      default: value.value = intptr_t(*reinterpret_cast<void* const*>(at)); break;
    }
  }
  return snapshot;
}

}  // namespace

void DebuggerProcedureEnter(int32_t procedure, void* stackPointer) {
  DWORD error = GetLastError();
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (record->depth == record->stackCapacity) {
    int32_t capacity = record->stackCapacity + StackStep;
    size_t bytes = sizeof(CallStackEntry) * size_t(capacity);
    void* grown = record->stack ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, record->stack, bytes)
                                : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
    if (!grown) {
      SetLastError(error);
      return;
    }
    record->stack = static_cast<CallStackEntry*>(grown);
    record->stackCapacity = capacity;
  }
  const ProcedureEntry* entry = FindProcedureByIndex(procedure);
  if (entry) CountCall(procedure);
  record->stack[record->depth++] = {procedure, stackPointer, record->line, SnapshotArguments(entry, stackPointer)};
  if (ProcedureWatchFunction watch = procedureWatch) watch(procedure);
  SetLastError(error);
}

void DebuggerProcedureLeave() {
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (record->depth <= 0) return;
  CallStackEntry& entry = record->stack[--record->depth];
  FreeSnapshot(entry.arguments);
  entry.arguments = nullptr;
  if (ProcedureWatchFunction watch = procedureWatch) {
    DWORD error = GetLastError();
    watch(entry.procedure);
    SetLastError(error);
  }
}

// ---- debug output ----

namespace {

void Output(int kind, const void* value) {
  DWORD error = GetLastError();
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  if (frontEnd && frontEnd->debugOutput) frontEnd->debugOutput(kind, value);
  else ConsoleDebugOutput(kind, value);
  SetLastError(error);
}

}  // namespace

void Debug(const char* text) { Output(DebugKindText, text ? text : ""); }
void Debug(int32_t value) { Output(DebugKindLong, &value); }
void Debug(int64_t value) { Output(DebugKindQuad, &value); }
void Debug(float value) { Output(DebugKindFloat, &value); }
void Debug(double value) { Output(DebugKindDouble, &value); }

}  // namespace kx
