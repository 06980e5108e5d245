// The profiler's line counters and the procedure call counters.  Several
// threads count at once, so every counter is changed by interlocked steps.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/profiler.h"

namespace kx {

namespace {

volatile LONG g_profiling = 0;
std::vector<int32_t> g_profileOffsets;   // per file, then the total
std::vector<LONG> g_profileCounters;
volatile LONG g_lastCounted = -1;
std::vector<LONG> g_callCounts;

int32_t ProfileIndex(int32_t line) {
  if (line == -1) return -1;
  int32_t file = uint32_t(line) >> 24;
  int32_t number = line & 0xFFFFFF;
  if (file + 1 >= int32_t(g_profileOffsets.size())) return -1;
  int32_t index = g_profileOffsets[file] + number;
  return index < g_profileOffsets[file + 1] ? index : -1;
}

}  // namespace

namespace debugger {

void BuildProfiler() {
  g_profileOffsets.clear();
  g_profileCounters.clear();
  g_lastCounted = -1;
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (!symbols || !symbols->lines) return;
  int32_t files = symbols->sourceFileCount;
  for (int32_t t = 0; t < symbols->lineTableCount; ++t) files = std::max(files, symbols->lines[t].file + 1);
  std::vector<int32_t> lengths(files, 0);
  for (int32_t t = 0; t < symbols->lineTableCount; ++t) {
    const ExecutableLines& table = symbols->lines[t];
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

// A line is counted once per arrival: the hook runs more than once for a
// line that stops.
void ProfileLine(int32_t line) {
  if (!g_profiling || InterlockedExchange(&g_lastCounted, line) == line) return;
  int32_t index = ProfileIndex(line);
  if (index >= 0) InterlockedIncrement(&g_profileCounters[index]);
}

void ResizeCallCounts(int32_t count) { g_callCounts.assign(count, 0); }

void CountCall(int32_t procedure) {
  if (procedure >= 0 && size_t(procedure) < g_callCounts.size()) InterlockedIncrement(&g_callCounts[procedure]);
}

}  // namespace debugger

void SetProfiling(int on) { InterlockedExchange(&g_profiling, on && !g_profileCounters.empty() ? 1 : 0); }
int Profiling() { return g_profiling; }

void ResetProfiler() {
  for (LONG& counter : g_profileCounters) InterlockedExchange(&counter, 0);
  g_lastCounted = -1;
}

int32_t ProfilerFileCount() { return g_profileOffsets.empty() ? 0 : int32_t(g_profileOffsets.size()) - 1; }
const int32_t* ProfilerOffsets() { return g_profileOffsets.empty() ? nullptr : g_profileOffsets.data(); }
int32_t ProfilerCounterCount() { return int32_t(g_profileCounters.size()); }
const int32_t* ProfilerCounters() {
  static_assert(sizeof(LONG) == sizeof(int32_t), "counters are handed out as 32-bit values");
  return g_profileCounters.empty() ? nullptr : reinterpret_cast<const int32_t*>(g_profileCounters.data());
}

int32_t ProfilerCount(int32_t line) {
  int32_t index = ProfileIndex(line);
  return index < 0 ? -1 : g_profileCounters[index];
}

int32_t ProcedureCallCount(int32_t index) {
  return index >= 0 && size_t(index) < g_callCounts.size() ? g_callCounts[index] : 0;
}

void ResetProcedureCallCounts(int32_t index) {
  if (index < 0) {
    for (LONG& count : g_callCounts) InterlockedExchange(&count, 0);
  } else if (size_t(index) < g_callCounts.size()) {
    InterlockedExchange(&g_callCounts[index], 0);
  }
}

}  // namespace kx
