// The breakpoint list, the step modes and the stops at start and end.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "runtime/debugger/breakpoints.h"
#include "runtime/debugger/debugger_internal.h"

namespace kx {

namespace {

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

struct Locked {
  Locked() { EnterCriticalSection(&Breakpoints().lock); }
  ~Locked() { LeaveCriticalSection(&Breakpoints().lock); }
};

// Lines in the list: the line hook looks at the list only when there are any.
volatile LONG g_lineCount = 0;
volatile LONG g_callOnStart = 0;
volatile LONG g_callOnEnd = 0;

void RebuildLocked(BreakpointList& list) {
  list.lines.clear();
  for (int32_t line : list.given) {
    list.lines.push_back(line);
    int32_t executable = ExecutableLineAtOrAfter(line);
    if (executable != -1) list.lines.push_back(executable);
  }
  std::sort(list.lines.begin(), list.lines.end());
  list.lines.erase(std::unique(list.lines.begin(), list.lines.end()), list.lines.end());
  InterlockedExchange(&g_lineCount, LONG(list.lines.size()));
}

}  // namespace

namespace debugger {

void RebuildBreakpointLines() {
  Locked locked;
  RebuildLocked(Breakpoints());
}

bool IsBreakpoint(int32_t line) {
  if (g_lineCount == 0) return false;
  BreakpointList& list = Breakpoints();
  Locked locked;
  return std::binary_search(list.lines.begin(), list.lines.end(), line);
}

}  // namespace debugger

int AddBreakpoint(int32_t line) {
  if (ExecutableLineAtOrAfter(line) == -1) return 0;
  BreakpointList& list = Breakpoints();
  Locked locked;
  if (std::find(list.given.begin(), list.given.end(), line) != list.given.end()) return 0;
  list.given.push_back(line);
  RebuildLocked(list);
  return 1;
}

int RemoveBreakpoint(int32_t line) {
  BreakpointList& list = Breakpoints();
  Locked locked;
  auto at = std::find(list.given.begin(), list.given.end(), line);
  if (at == list.given.end()) return 0;
  list.given.erase(at);
  RebuildLocked(list);
  return 1;
}

void ClearBreakpoints(int32_t file) {
  BreakpointList& list = Breakpoints();
  Locked locked;
  if (file < 0) {
    list.given.clear();
  } else {
    list.given.erase(std::remove_if(list.given.begin(), list.given.end(),
                                    [file](int32_t line) { return int32_t(uint32_t(line) >> 24) == file; }),
                     list.given.end());
  }
  RebuildLocked(list);
}

int BreakpointCount() {
  Locked locked;
  return int(Breakpoints().given.size());
}

int32_t ListBreakpoints(int32_t* lines, int32_t max) {
  BreakpointList& list = Breakpoints();
  Locked locked;
  int32_t count = int32_t(list.given.size());
  for (int32_t i = 0; i < count && i < max; ++i) lines[i] = list.given[i];
  return count;
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

void SetCallOnStart(int flag) { InterlockedExchange(&g_callOnStart, flag ? 1 : 0); }
void SetCallOnEnd(int flag) { InterlockedExchange(&g_callOnEnd, flag ? 1 : 0); }
int CallOnStart() { return g_callOnStart; }
int CallOnEnd() { return g_callOnEnd; }

}  // namespace kx
