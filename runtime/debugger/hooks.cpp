// The hooks the application code calls (start, lines, procedures, debug
// output, end), the per-thread debugger record and the debug symbol tables.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/objects.h"
#include "runtime/debugger/checks.h"
#include "runtime/debugger/debugger_internal.h"

namespace kx {

void InstallExceptionFilter();

namespace {

using namespace debugger;

int32_t g_recordOffset = -1;
DebuggerRecord g_fallbackRecord = {};  // before DebuggerStart registered the per-thread part
volatile LONG g_started = 0;
DWORD g_mainThread = 0;
void* g_startStack = nullptr;

const DebugSymbols* g_symbols = nullptr;
std::vector<const ProcedureEntry*> g_byIndex;
std::vector<int32_t> g_callCounts;

volatile LONG g_callOnStart = 0;
volatile LONG g_callOnEnd = 0;

// Profiler tables.
volatile LONG g_profiling = 0;
std::vector<int32_t> g_profileOffsets;   // per file, then the total
std::vector<LONG> g_profileCounters;
int32_t g_lastCounted = -1;

void BuildProfiler() {
  g_profileOffsets.clear();
  g_profileCounters.clear();
  g_lastCounted = -1;
  if (!g_symbols || !g_symbols->lines) return;
  int32_t files = g_symbols->sourceFileCount;
  for (int32_t t = 0; t < g_symbols->lineTableCount; ++t) files = std::max(files, g_symbols->lines[t].file + 1);
  std::vector<int32_t> lengths(files, 0);
  for (int32_t t = 0; t < g_symbols->lineTableCount; ++t) {
    const ExecutableLines& table = g_symbols->lines[t];
    if (table.file >= 0 && table.count > 0) lengths[table.file] = std::max(lengths[table.file], table.lines[table.count - 1]);
  }
  int32_t total = 0;
  for (int32_t f = 0; f < files; ++f) {
    g_profileOffsets.push_back(total);
    total += lengths[f];
  }
  g_profileOffsets.push_back(total);
  g_profileCounters.assign(total, 0);
}

int32_t ProfileIndex(int32_t line) {
  if (line == -1) return -1;
  int32_t file = uint32_t(line) >> 24;
  int32_t number = line & 0xFFFFFF;
  if (file + 1 >= int32_t(g_profileOffsets.size())) return -1;
  int32_t index = g_profileOffsets[file] + number;
  return index < g_profileOffsets[file + 1] ? index : -1;
}

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

// ---- breakpoints ----

struct BreakpointList {
  CRITICAL_SECTION lock;
  std::vector<int32_t> given;   // as set
  std::vector<int32_t> lines;   // sorted: given forms and their executable lines
  BreakpointList() { InitializeCriticalSection(&lock); }
};

BreakpointList& Breakpoints() {
  static BreakpointList* list = new BreakpointList;
  return *list;
}

volatile LONG g_breakpointCount = 0;

void RebuildLines(BreakpointList& list);

// First executable line code at or after line in the same file; -1 when the
// line lies past the file's last executable line.  Without line tables every
// line counts as executable.
int32_t ExecutableLineAtOrAfter(int32_t line) {
  if (!g_symbols || !g_symbols->lines || g_symbols->lineTableCount == 0) return line;
  int32_t file = uint32_t(line) >> 24;
  int32_t number = (line & 0xFFFFFF) + 1;
  for (int32_t t = 0; t < g_symbols->lineTableCount; ++t) {
    const ExecutableLines& table = g_symbols->lines[t];
    if (table.file != file) continue;
    const int32_t* end = table.lines + table.count;
    const int32_t* at = std::lower_bound(table.lines, end, number);
    if (at == end) return -1;
    return (file << 24) | (*at - 1);
  }
  return -1;
}

void RebuildLines(BreakpointList& list) {
  list.lines.clear();
  for (int32_t line : list.given) {
    list.lines.push_back(line);
    int32_t executable = ExecutableLineAtOrAfter(line);
    if (executable != -1) list.lines.push_back(executable);
  }
  std::sort(list.lines.begin(), list.lines.end());
  list.lines.erase(std::unique(list.lines.begin(), list.lines.end()), list.lines.end());
  InterlockedExchange(&g_breakpointCount, LONG(list.lines.size()));
}

bool IsBreakpoint(int32_t line) {
  BreakpointList& list = Breakpoints();
  EnterCriticalSection(&list.lock);
  bool hit = std::binary_search(list.lines.begin(), list.lines.end(), line);
  LeaveCriticalSection(&list.lock);
  return hit;
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

// ---- symbols ----

const char* TypeName(uint8_t type) {
  switch (type & 0x7F) {
    case TypeByte: return "Byte";
    case TypeWord: return "Word";
    case TypeLong: return "Long";
    case TypeStructure: return "Struct";
    case TypeString: return "String";
    case TypeFloat: return "Float";
    case TypeFixedString: return "Fixed";
    case TypeChar: return "Char";
    case TypeDouble: return "Double";
    case TypeQuad: return "Quad";
    case TypeList: return "List";
    case TypeArray: return "Array";
    default: return "";
  }
}

void SetDebugSymbols(const DebugSymbols* symbols) {
  g_symbols = symbols;
  g_byIndex.clear();
  g_callCounts.clear();
  if (symbols) {
    for (int32_t i = 0; i < symbols->procedureCount; ++i) {
      const ProcedureEntry& p = symbols->procedures[i];
      if (p.index >= g_byIndex.size()) g_byIndex.resize(p.index + 1, nullptr);
      g_byIndex[p.index] = &p;
    }
    g_callCounts.assign(g_byIndex.size(), 0);
  }
  BuildProfiler();
  BreakpointList& list = Breakpoints();
  EnterCriticalSection(&list.lock);
  RebuildLines(list);
  LeaveCriticalSection(&list.lock);
}

const DebugSymbols* CurrentDebugSymbols() { return g_symbols; }

const ProcedureEntry* FindProcedureByAddress(const void* code) {
  if (!g_symbols || !code) return nullptr;
  for (int32_t i = 0; i < g_symbols->procedureCount; ++i) {
    if (g_symbols->procedures[i].code == code) return &g_symbols->procedures[i];
  }
  return nullptr;
}

const ProcedureEntry* FindProcedureByIndex(int32_t index) {
  if (index < 0 || size_t(index) >= g_byIndex.size()) return nullptr;
  return g_byIndex[index];
}

const char* SourceFileName(int32_t line) {
  if (!g_symbols || !g_symbols->sourceFiles || line == -1) return "";
  int32_t file = uint32_t(line) >> 24;
  if (file >= g_symbols->sourceFileCount) return "";
  const char* name = g_symbols->sourceFiles[file];
  return name ? name : "";
}

// ---- start and end ----

void DebuggerStart(void* stackPointer) {
  if (InterlockedExchange(&g_started, 1) != 0) return;
  g_startStack = stackPointer;
  g_mainThread = GetCurrentThreadId();
  RegisterCatalogsAtStart();
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
  if (!CurrentDebuggerFrontEnd()) ConsoleStart();
  BuildProfiler();
  if (g_callOnStart) CurrentDebuggerRecord()->state = StateCallDebugger;
}

void DebuggerEnd() {
  if (InterlockedExchange(&g_started, 0) == 0) return;
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (g_callOnEnd && record->state == StateRunning) {
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
    record->waiting = 1;
    while (stoppedThread && DWORD(stoppedThread) != GetCurrentThreadId()) Sleep(10);
    record->waiting = 0;
  }
  int32_t previous = record->line;
  record->line = line;
  const DebuggerFrontEnd* frontEnd = CurrentDebuggerFrontEnd();
  if (frontEnd && frontEnd->poll && GetCurrentThreadId() == g_mainThread) frontEnd->poll(line, registers);
  if (g_profiling && line != g_lastCounted) {
    g_lastCounted = line;
    int32_t index = ProfileIndex(line);
    if (index >= 0) InterlockedIncrement(&g_profileCounters[index]);
  }
  if (g_breakpointCount && record->stepMode == 0 && line != previous && IsBreakpoint(line)) {
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

void SetStepMode(int mode, int count) {
  DebuggerRecord* record = CurrentDebuggerRecord();
  record->stepLine = record->line;
  record->stepDepth = mode == 5 ? record->depth - 1 : record->depth;
  if (mode == 5 && record->depth == 0) {
    mode = 1;  // stepping out of the outermost level steps one line
    count = 1;
  }
  record->stepMode = mode;
  record->stepCount = count < 1 ? 1 : count;
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
  if (entry && size_t(procedure) < g_callCounts.size()) ++g_callCounts[procedure];
  record->stack[record->depth++] = {procedure, stackPointer, record->line, SnapshotArguments(entry, stackPointer)};
  SetLastError(error);
}

void DebuggerProcedureLeave() {
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (record->depth <= 0) return;
  CallStackEntry& entry = record->stack[--record->depth];
  FreeSnapshot(entry.arguments);
  entry.arguments = nullptr;
}

void ResetProcedureCallCounts(int32_t index) {
  if (index < 0) std::fill(g_callCounts.begin(), g_callCounts.end(), 0);
  else if (size_t(index) < g_callCounts.size()) g_callCounts[index] = 0;
}

int32_t ProcedureCount() { return int32_t(g_byIndex.size()); }

void SetCallOnStart(int flag) { InterlockedExchange(&g_callOnStart, flag ? 1 : 0); }
void SetCallOnEnd(int flag) { InterlockedExchange(&g_callOnEnd, flag ? 1 : 0); }
int CallOnStart() { return g_callOnStart; }
int CallOnEnd() { return g_callOnEnd; }

void SetProfiling(int on) { InterlockedExchange(&g_profiling, on && !g_profileCounters.empty() ? 1 : 0); }
int Profiling() { return g_profiling; }
void ResetProfiler() {
  std::fill(g_profileCounters.begin(), g_profileCounters.end(), 0);
  g_lastCounted = -1;
}
int32_t ProfilerFileCount() { return g_profileOffsets.empty() ? 0 : int32_t(g_profileOffsets.size()) - 1; }
const int32_t* ProfilerOffsets() { return g_profileOffsets.empty() ? nullptr : g_profileOffsets.data(); }
int32_t ProfilerCounterCount() { return int32_t(g_profileCounters.size()); }
const int32_t* ProfilerCounters() {
  return g_profileCounters.empty() ? nullptr : reinterpret_cast<const int32_t*>(g_profileCounters.data());
}
int32_t ProfilerCount(int32_t line) {
  int32_t index = ProfileIndex(line);
  return index < 0 ? -1 : g_profileCounters[index];
}

int32_t ProcedureCallCount(int32_t index) {
  return index >= 0 && size_t(index) < g_callCounts.size() ? g_callCounts[index] : 0;
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

// ---- breakpoints ----

int AddBreakpoint(int32_t line) {
  if (ExecutableLineAtOrAfter(line) == -1) return 0;
  BreakpointList& list = Breakpoints();
  EnterCriticalSection(&list.lock);
  bool exists = std::find(list.given.begin(), list.given.end(), line) != list.given.end();
  if (!exists) {
    list.given.push_back(line);
    RebuildLines(list);
  }
  LeaveCriticalSection(&list.lock);
  return exists ? 0 : 1;
}

int RemoveBreakpoint(int32_t line) {
  BreakpointList& list = Breakpoints();
  EnterCriticalSection(&list.lock);
  auto at = std::find(list.given.begin(), list.given.end(), line);
  bool found = at != list.given.end();
  if (found) {
    list.given.erase(at);
    RebuildLines(list);
  }
  LeaveCriticalSection(&list.lock);
  return found ? 1 : 0;
}

void ClearBreakpoints(int32_t file) {
  BreakpointList& list = Breakpoints();
  EnterCriticalSection(&list.lock);
  if (file < 0) {
    list.given.clear();
  } else {
    list.given.erase(std::remove_if(list.given.begin(), list.given.end(),
                                    [file](int32_t line) { return int32_t(uint32_t(line) >> 24) == file; }),
                     list.given.end());
  }
  RebuildLines(list);
  LeaveCriticalSection(&list.lock);
}

int BreakpointCount() {
  BreakpointList& list = Breakpoints();
  EnterCriticalSection(&list.lock);
  int count = int(list.given.size());
  LeaveCriticalSection(&list.lock);
  return count;
}

}  // namespace kx
