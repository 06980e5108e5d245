// Line hook, breakpoints, stepping, procedure hooks and the front-end seam.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/checks.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

int32_t Line(int file, int number) { return (file << 24) | (number - 1); }

struct Stop {
  int32_t line;
  int state;
};
std::vector<Stop> g_stops;

int RecordStop(int32_t line, int state, void*) {
  g_stops.push_back({line, state});
  return kx::StateRunning;
}

const kx::DebuggerFrontEnd StopRecorder = {"stops", nullptr, nullptr, RecordStop, nullptr, nullptr};

const int32_t File0Lines[] = {2, 3, 5, 9};
const int32_t File1Lines[] = {1, 4};
const kx::ExecutableLines LineTables[] = {{0, File0Lines, 4}, {1, File1Lines, 2}};
const char* const SourceFiles[] = {"main.kx", "include.kx"};

// The argument frame of procedure 1, described by its own offsets (they
// differ between the 32-bit and the 64-bit build).
struct ArgFrame {
  int32_t number;
  const char* text;
  double real;
  int8_t byte;
};
const kx::ProcedureArgument Args[] = {{kx::TypeLong, int32_t(offsetof(ArgFrame, number))},
                                      {kx::TypeString, int32_t(offsetof(ArgFrame, text))},
                                      {kx::TypeDouble, int32_t(offsetof(ArgFrame, real))},
                                      {kx::TypeByte, int32_t(offsetof(ArgFrame, byte))}};
const kx::ProcedureEntry Procedures[] = {
    {0, nullptr, kx::TypeLong, "NoArgs", nullptr, {}, 0},
    {4, Args, kx::TypeLong, "Four", nullptr, {}, 1},
};
const kx::DebugSymbols Symbols = {"C:\\src\\", "main.kx", SourceFiles, 2, Procedures, 2, nullptr, 0, LineTables, 2};

class Hooks : public ::testing::Test {
 protected:
  void SetUp() override {
    previousSymbols = kx::CurrentDebugSymbols();
    kx::SetDebugSymbols(&Symbols);
    previousFrontEnd = kx::SetDebuggerFrontEnd(&StopRecorder);
    g_stops.clear();
    kx::ClearBreakpoints(-1);
  }
  void TearDown() override {
    kx::ClearBreakpoints(-1);
    kx::SetDebuggerFrontEnd(previousFrontEnd);
    kx::SetDebugSymbols(previousSymbols);
    kx::CurrentDebuggerRecord()->state = 0;
  }
  const kx::DebugSymbols* previousSymbols = nullptr;
  const kx::DebuggerFrontEnd* previousFrontEnd = nullptr;
};

TEST_F(Hooks, PlainLinesRunOn) {
  EXPECT_EQ(kx::DebuggerLine(Line(0, 2)), 0);
  EXPECT_EQ(kx::CurrentDebuggerRecord()->line, Line(0, 2));
  EXPECT_TRUE(g_stops.empty());
  EXPECT_STREQ(kx::SourceFileName(Line(1, 4)), "include.kx");
  EXPECT_STREQ(kx::SourceFileName(Line(7, 4)), "");
}

TEST_F(Hooks, BreakpointsLandOnExecutableLines) {
  // Line 6 of the main file has no code: the breakpoint also holds line 9.
  EXPECT_EQ(kx::AddBreakpoint(Line(0, 6)), 1);
  EXPECT_EQ(kx::AddBreakpoint(Line(0, 6)), 0);    // already set
  EXPECT_EQ(kx::AddBreakpoint(Line(0, 10)), 0);   // past the last executable line
  EXPECT_EQ(kx::BreakpointCount(), 1);
  kx::DebuggerLine(Line(0, 5));
  EXPECT_TRUE(g_stops.empty());
  kx::DebuggerLine(Line(0, 9));
  ASSERT_EQ(g_stops.size(), 1u);
  EXPECT_EQ(g_stops[0].line, Line(0, 9));
  EXPECT_EQ(g_stops[0].state, kx::StateBreakpoint);
  // The same line again (a loop on one line) does not stop twice in a row.
  kx::DebuggerLine(Line(0, 9));
  EXPECT_EQ(g_stops.size(), 1u);
  EXPECT_EQ(kx::RemoveBreakpoint(Line(0, 6)), 1);
  EXPECT_EQ(kx::RemoveBreakpoint(Line(0, 6)), 0);
  kx::DebuggerLine(Line(0, 2));
  kx::DebuggerLine(Line(0, 9));
  EXPECT_EQ(g_stops.size(), 1u);

  kx::AddBreakpoint(Line(1, 1));
  kx::AddBreakpoint(Line(0, 3));
  kx::ClearBreakpoints(1);
  EXPECT_EQ(kx::BreakpointCount(), 1);
}

TEST_F(Hooks, StepModes) {
  kx::DebuggerLine(Line(0, 2));
  kx::SetStepMode(1, 3);
  kx::DebuggerLine(Line(0, 3));
  kx::DebuggerLine(Line(0, 5));
  EXPECT_TRUE(g_stops.empty());
  kx::DebuggerLine(Line(0, 9));
  ASSERT_EQ(g_stops.size(), 1u);
  EXPECT_EQ(g_stops[0].state, kx::StateStep);

  // Step over: a call's lines do not stop, the next line at the same depth does.
  g_stops.clear();
  kx::DebuggerLine(Line(0, 2));
  kx::SetStepMode(4, 0);
  kx::DebuggerProcedureEnter(0, nullptr);
  kx::DebuggerLine(Line(1, 1));
  kx::DebuggerLine(Line(1, 4));
  kx::DebuggerProcedureLeave();
  EXPECT_TRUE(g_stops.empty());
  kx::DebuggerLine(Line(0, 3));
  ASSERT_EQ(g_stops.size(), 1u);
  EXPECT_EQ(g_stops[0].line, Line(0, 3));

  // Step out of the outermost level: one line.
  g_stops.clear();
  kx::SetStepMode(5, 0);
  kx::DebuggerLine(Line(0, 5));
  EXPECT_EQ(g_stops.size(), 1u);

  // Step out of a procedure: stops back at the caller's depth.
  g_stops.clear();
  kx::DebuggerProcedureEnter(0, nullptr);
  kx::DebuggerLine(Line(1, 1));
  kx::SetStepMode(5, 0);
  kx::DebuggerLine(Line(1, 4));
  EXPECT_TRUE(g_stops.empty());
  kx::DebuggerProcedureLeave();
  kx::DebuggerLine(Line(0, 9));
  EXPECT_EQ(g_stops.size(), 1u);
}

TEST_F(Hooks, CallDebuggerStopsWithStateThree) {
  kx::CallDebugger(Line(0, 5));
  ASSERT_EQ(g_stops.size(), 1u);
  EXPECT_EQ(g_stops[0].state, kx::StateCallDebugger);
  EXPECT_EQ(kx::CurrentDebuggerRecord()->state, 0);
}

TEST_F(Hooks, AFatalStateMakesTheLineHookEndTheProgram) {
  kxtest::ReportRecorder recorder;  // takes the front-end over
  kx::CurrentDebuggerRecord()->state = kx::StateFatal;
  EXPECT_EQ(kx::DebuggerLine(Line(0, 2)), kx::StateFatal);
  kx::CurrentDebuggerRecord()->state = 0;
  kx::Report(kx::ReportKindQuiet, "quiet");
  EXPECT_EQ(recorder.count(), 0u);
  EXPECT_EQ(kx::DebuggerLine(Line(0, 3)), 0);
}

TEST_F(Hooks, ProcedureEntriesKeepArgumentCopies) {
  std::string longText(300, 'x');
  ArgFrame frame = {-12, longText.c_str(), 2.5, -3};
  kx::DebuggerRecord* record = kx::CurrentDebuggerRecord();
  int depth = record->depth;
  int32_t calls = kx::ProcedureCallCount(1);
  kx::DebuggerLine(Line(0, 3));
  kx::DebuggerProcedureEnter(1, &frame);
  ASSERT_EQ(record->depth, depth + 1);
  kx::CallStackEntry& entry = record->stack[depth];
  EXPECT_EQ(entry.procedure, 1);
  EXPECT_EQ(entry.callingLine, Line(0, 3));
  EXPECT_EQ(kx::ProcedureCallCount(1), calls + 1);
  auto* snapshot = static_cast<kx::ArgumentSnapshot*>(entry.arguments);
  ASSERT_NE(snapshot, nullptr);
  ASSERT_EQ(snapshot->count, 4);
  EXPECT_EQ(snapshot->values[0].value, -12);
  EXPECT_EQ(std::string(snapshot->values[1].text), std::string(200, 'x'));
  double real;
  std::memcpy(&real, &snapshot->values[2].value, 8);
  EXPECT_EQ(real, 2.5);
  EXPECT_EQ(snapshot->values[3].value, -3);
  // The copy does not follow later changes of the argument.
  frame.number = 99;
  EXPECT_EQ(snapshot->values[0].value, -12);
  kx::DebuggerProcedureLeave();
  EXPECT_EQ(record->depth, depth);

  kx::DebuggerProcedureEnter(0, nullptr);
  EXPECT_EQ(record->stack[depth].arguments, nullptr);
  kx::DebuggerProcedureLeave();

  kx::DebuggerProcedureEnter(1, nullptr);  // no frame to read: zero values, empty texts
  snapshot = static_cast<kx::ArgumentSnapshot*>(record->stack[depth].arguments);
  ASSERT_NE(snapshot, nullptr);
  ASSERT_NE(snapshot->values[1].text, nullptr);
  EXPECT_STREQ(snapshot->values[1].text, "");
  kx::DebuggerProcedureLeave();
}

TEST_F(Hooks, TheCallStackGrowsInSteps) {
  kx::DebuggerRecord* record = kx::CurrentDebuggerRecord();
  int depth = record->depth;
  for (int i = 0; i < 16001; ++i) kx::DebuggerProcedureEnter(0, nullptr);
  EXPECT_EQ(record->depth, depth + 16001);
  EXPECT_EQ(record->stackCapacity % 16000, 0);
  EXPECT_GE(record->stackCapacity, 32000);
  for (int i = 0; i < 16001; ++i) kx::DebuggerProcedureLeave();
  EXPECT_EQ(record->depth, depth);
  kx::DebuggerProcedureLeave();  // an unbalanced leave at depth 0 does nothing
  EXPECT_GE(record->depth, 0);
}

TEST_F(Hooks, WaitingThreadsHoldAtTheirNextLine) {
  // While one thread is stopped in the front-end, another thread's line hook waits.
  static HANDLE inStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  static HANDLE leaveStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  static volatile LONG otherPassed = 0;
  static const kx::DebuggerFrontEnd holding = {"hold", nullptr, nullptr,
                                               [](int32_t, int, void*) -> int {
                                                 SetEvent(inStop);
                                                 WaitForSingleObject(leaveStop, 10000);
                                                 return 0;
                                               },
                                               nullptr, nullptr};
  kx::SetDebuggerFrontEnd(&holding);
  HANDLE stopper = CreateThread(nullptr, 0, [](void*) -> DWORD __attribute__((stdcall)) {
    kx::CallDebugger(Line(0, 2));
    return 0;
  }, nullptr, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(inStop, 5000), WAIT_OBJECT_0);
  HANDLE other = CreateThread(nullptr, 0, [](void*) -> DWORD __attribute__((stdcall)) {
    kx::DebuggerLine(Line(0, 3));
    InterlockedExchange(&otherPassed, 1);
    return 0;
  }, nullptr, 0, nullptr);
  EXPECT_FALSE(kxtest::WaitUntil([&] { return otherPassed != 0; }, 100)) << "passed the line while stopped";
  SetEvent(leaveStop);
  EXPECT_EQ(WaitForSingleObject(other, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(otherPassed, 1);
  WaitForSingleObject(stopper, 5000);
  CloseHandle(stopper);
  CloseHandle(other);
}

TEST_F(Hooks, ProfilerCountsLinesWhenOn) {
  ASSERT_EQ(kx::ProfilerFileCount(), 2);
  // Main file up to line 9, the include up to line 4.
  EXPECT_EQ(kx::ProfilerOffsets()[0], 0);
  EXPECT_EQ(kx::ProfilerOffsets()[1], 9);
  EXPECT_EQ(kx::ProfilerOffsets()[2], 13);
  EXPECT_EQ(kx::ProfilerCounterCount(), 13);
  kx::DebuggerLine(Line(0, 2));
  EXPECT_EQ(kx::ProfilerCount(Line(0, 2)), 0);  // off by default
  kx::SetProfiling(1);
  kx::DebuggerLine(Line(0, 3));
  kx::DebuggerLine(Line(0, 3));  // the same line again counts once
  kx::DebuggerLine(Line(1, 4));
  kx::DebuggerLine(Line(0, 3));
  kx::DebuggerLine(Line(5, 3));  // outside the tables
  kx::SetProfiling(0);
  kx::DebuggerLine(Line(1, 4));
  EXPECT_EQ(kx::ProfilerCount(Line(0, 3)), 2);
  EXPECT_EQ(kx::ProfilerCount(Line(1, 4)), 1);
  EXPECT_EQ(kx::ProfilerCounters()[9 + 3], 1);
  EXPECT_EQ(kx::ProfilerCount(Line(5, 3)), -1);
  kx::ResetProfiler();
  EXPECT_EQ(kx::ProfilerCount(Line(0, 3)), 0);
}

TEST_F(Hooks, CallCountersReset) {
  kx::ResetProcedureCallCounts(-1);
  kx::DebuggerProcedureEnter(0, nullptr);
  kx::DebuggerProcedureLeave();
  kx::DebuggerProcedureEnter(1, nullptr);
  kx::DebuggerProcedureLeave();
  EXPECT_EQ(kx::ProcedureCount(), 2);
  EXPECT_EQ(kx::ProcedureCallCount(0), 1);
  kx::ResetProcedureCallCounts(0);
  EXPECT_EQ(kx::ProcedureCallCount(0), 0);
  EXPECT_EQ(kx::ProcedureCallCount(1), 1);
}

// The condition that the numbered thread has ended.
auto Ended(int32_t thread) {
  return [thread] { return !kx::ThreadRunning(thread); };
}

// Several threads enter procedures at once: no call is lost.
TEST_F(Hooks, CallCountersCountCallsOfManyThreads) {
  kx::ResetProcedureCallCounts(-1);
  constexpr int Threads = 4, Calls = 400000;
  auto enterMany = [](int32_t) -> int32_t {
    for (int i = 0; i < Calls; ++i) {
      kx::DebuggerProcedureEnter(0, nullptr);
      kx::DebuggerProcedureLeave();
    }
    return 0;
  };
  int32_t threads[Threads];
  for (int32_t& t : threads) ASSERT_GT(t = kx::StartThread(enterMany, 0), 0);
  for (int32_t t : threads) ASSERT_TRUE(kxtest::WaitUntil(Ended(t), 60000));
  EXPECT_EQ(kx::ProcedureCallCount(0), Threads * Calls);
}

std::string ThreadRows() {
  std::string rows;
  kx::FindDebuggerList("KX_LIBRARY_Thread")->walk([](void* context, const char* row, intptr_t) {
    *static_cast<std::string*>(context) += std::string(row) + "\n";
  }, &rows);
  return rows;
}

std::atomic<int> g_running{0};
std::string g_rowsWhileStopped;
int32_t g_worker = 0;

// The stop of the main thread looks at the thread list until the worker,
// held in its line hook, shows as paused.
int WatchThreadList(int32_t, int, void*) {
  std::string paused = std::to_string(g_worker) + "\t16\tPaused";
  kxtest::WaitUntil([&] { return (g_rowsWhileStopped = ThreadRows()).find(paused) != std::string::npos; }, 5000);
  return kx::StateRunning;
}

const kx::DebuggerFrontEnd ThreadListWatcher = {"threads", nullptr, nullptr, WatchThreadList, nullptr, nullptr};

// "Paused" is read from the debugger's waiting state; a walk that stops
// looking after the first row leaves nothing locked behind.
TEST_F(Hooks, ThreadListShowsThreadsHeldByAStopAsPaused) {
  g_running = 1;
  g_worker = kx::StartThread([](int32_t) -> int32_t {
    while (g_running) kx::DebuggerLine(Line(0, 2));
    return 0;
  }, 0);
  ASSERT_GT(g_worker, 0);
  std::string running = std::to_string(g_worker) + "\t16\tRunning";
  EXPECT_NE(ThreadRows().find(running), std::string::npos);
  kx::SetDebuggerFrontEnd(&ThreadListWatcher);
  g_rowsWhileStopped.clear();
  kx::CallDebugger(Line(0, 3));
  EXPECT_NE(g_rowsWhileStopped.find(std::to_string(g_worker) + "\t16\tPaused"), std::string::npos)
      << g_rowsWhileStopped;
  // Released by the end of the stop, the worker runs again.
  std::string rows;
  kxtest::WaitUntil([&] { return (rows = ThreadRows()).find(running) != std::string::npos; }, 5000);
  EXPECT_NE(rows.find(running), std::string::npos) << rows;
  int firstOnly = 0;
  kx::FindDebuggerList("KX_LIBRARY_Thread")->walk([](void* context, const char*, intptr_t) {
    ++*static_cast<int*>(context);
  }, &firstOnly);
  g_running = 0;
  ASSERT_TRUE(kxtest::WaitUntil(Ended(g_worker), 10000));
  int32_t next = kx::StartThread([](int32_t) -> int32_t { return 0; }, 0);
  ASSERT_GT(next, 0);
  EXPECT_TRUE(kxtest::WaitUntil(Ended(next), 10000));
}

TEST(TypeNames, DisplayNames) {
  EXPECT_STREQ(kx::TypeName(kx::TypeStructure), "Struct");
  EXPECT_STREQ(kx::TypeName(kx::TypeFixedString), "Fixed");
  EXPECT_STREQ(kx::TypeName(kx::TypeLong | kx::TypePointerFlag), "Long");
  EXPECT_STREQ(kx::TypeName(2), "");
}

}  // namespace
