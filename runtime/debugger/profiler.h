// The profiler's line counters and the procedure call counters.
#pragma once

#include <cstdint>

namespace kx {

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

// Calls of the procedure counted by the entry hook.
int32_t ProcedureCallCount(int32_t index);
// Procedure call counters: index, or a negative index for all.
void ResetProcedureCallCounts(int32_t index);

}  // namespace kx
