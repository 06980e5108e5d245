// Numbered threads, priorities, the spin mutex and the debugger's lists.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/checks.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

HANDLE g_gate = nullptr;  // manual-reset event the waiting procedures block on

int32_t ReturnAtOnce(int32_t value) { return value; }
int32_t WaitForGate(int32_t value) {
  WaitForSingleObject(g_gate, 20000);
  return value;
}

// Works until asked to stop, as the program's threads do: it asks the
// request itself, from its own thread.
int32_t UntilAskedToStop(int32_t value) {
  kxtest::WaitUntil([] { return kx::ThreadStopRequested() != 0; }, 20000);
  return value;
}

using kxtest::WaitUntil;

// The condition that the numbered thread has ended.
auto Ended(int32_t thread) {
  return [thread] { return !kx::ThreadRunning(thread); };
}

// The condition that every thread the library lists has ended.
bool AllEnded() {
  std::vector<int32_t> numbers;
  kx::FindDebuggerList("KX_LIBRARY_Thread")->walk([](void* context, const char*, intptr_t number) {
    static_cast<std::vector<int32_t>*>(context)->push_back(int32_t(number));
  }, &numbers);
  for (int32_t number : numbers) {
    if (kx::ThreadRunning(number)) return false;
  }
  return true;
}

class Threads : public ::testing::Test {
 protected:
  void SetUp() override { g_gate = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  void TearDown() override {
    // The gate closes once no thread of the test waits on it any more.
    SetEvent(g_gate);
    EXPECT_TRUE(WaitUntil(AllEnded, 5000)) << "a thread of the test still runs";
    CloseHandle(g_gate);
  }
};

TEST_F(Threads, NumbersCountUpAndAreNeverReused) {
  kxtest::ReportRecorder recorder;
  int32_t first = kx::StartThread(ReturnAtOnce, 7);
  ASSERT_GE(first, 1);
  ASSERT_TRUE(WaitUntil(Ended(first), 5000));
  // The ended thread's entry is pruned by this start, but its number stays used.
  int32_t second = kx::StartThread(WaitForGate, 0);
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(kx::ThreadRunning(second), 1);
  EXPECT_EQ(kx::ThreadRunning(first), 0);
  EXPECT_EQ(kx::ThreadRunning(second + 100), 0);
  SetEvent(g_gate);
  EXPECT_TRUE(WaitUntil(Ended(second), 5000));
  EXPECT_EQ(recorder.count(), 0u);
}

TEST_F(Threads, TheProcedureGetsItsValue) {
  static std::atomic<int32_t> seen{0};
  seen = 0;
  int32_t t = kx::StartThread([](int32_t v) -> int32_t { seen = v; return 0; }, 4711);
  ASSERT_GT(t, 0);
  ASSERT_TRUE(WaitUntil(Ended(t), 5000));
  EXPECT_EQ(seen.load(), 4711);
}

TEST_F(Threads, PriorityScale) {
  int32_t t = kx::StartThread(WaitForGate, 0);
  ASSERT_GT(t, 0);
  EXPECT_EQ(kx::ThreadPriority(t, 0), 16);
  EXPECT_EQ(kx::ThreadPriority(t, 0), 16);  // reading changes nothing
  EXPECT_EQ(kx::ThreadPriority(t, 20), 16);
  EXPECT_EQ(kx::ThreadPriority(t, 0), 24);
  EXPECT_EQ(GetThreadPriority(kx::ThreadHandle(t)), THREAD_PRIORITY_ABOVE_NORMAL);
  kx::ThreadPriority(t, 5);
  EXPECT_EQ(kx::ThreadPriority(t, 1), 8);
  EXPECT_EQ(kx::ThreadPriority(t, 31), 1);
  EXPECT_EQ(kx::ThreadPriority(t, 16), 31);
  EXPECT_EQ(kx::ThreadPriority(t, 0), 16);
  EXPECT_EQ(kx::ThreadPriority(t + 1000, 0), 0);
}

TEST_F(Threads, StopThreadEndsAndChecks) {
  kxtest::ReportRecorder recorder;
  int32_t t = kx::StartThread(UntilAskedToStop, 0);
  ASSERT_GT(t, 0);
  kx::StopThread(t);
  EXPECT_EQ(kx::ThreadRunning(t), 0);
  EXPECT_EQ(recorder.count(), 0u);

  kx::StopThread(t);  // entry already gone
  EXPECT_EQ(recorder.lastKey(), "InvalidThread");
  EXPECT_EQ(recorder.lastText(), "The specified Thread does not exists.");

  int32_t ended = kx::StartThread(ReturnAtOnce, 0);
  ASSERT_TRUE(WaitUntil(Ended(ended), 5000));
  recorder.clear();
  kx::StopThread(ended);
  EXPECT_EQ(recorder.lastKey(), "InvalidThread");

  recorder.clear();
  kx::StopThread(0);
  EXPECT_EQ(recorder.lastKey(), "NullArgument");
  EXPECT_EQ(recorder.lastText(), "The specified 'Thread' is null.");
}

TEST_F(Threads, StartChecksAgainstTheProcedureTable) {
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::StartThread(nullptr, 0), 0);
  EXPECT_EQ(recorder.lastKey(), "NullAddress");

  static const kx::ProcedureArgument longArg[] = {{kx::TypeLong, 8}};
  static const kx::ProcedureArgument stringArg[] = {{kx::TypeString, 8}};
  static int32_t (*const wrong)(int32_t) = [](int32_t) -> int32_t { return 0; };
  static const kx::ProcedureEntry procedures[] = {
      {1, longArg, kx::TypeLong, "Arbeit", reinterpret_cast<const void*>(&ReturnAtOnce), {}, 0},
      {1, stringArg, kx::TypeLong, "Falsch", reinterpret_cast<const void*>(wrong), {}, 1},
  };
  static const kx::DebugSymbols symbols = {"", "main.kx", nullptr, 0, procedures, 2, nullptr, 0, nullptr, 0};
  const kx::DebugSymbols* before = kx::CurrentDebugSymbols();
  kx::SetDebugSymbols(&symbols);

  recorder.clear();
  int32_t good = kx::StartThread(ReturnAtOnce, 0);
  EXPECT_GT(good, 0);
  EXPECT_EQ(recorder.count(), 0u);

  int32_t bad = kx::StartThread(wrong, 0);
  EXPECT_GT(bad, 0);  // the command runs after the report
  ASSERT_EQ(recorder.count(), 1u);
  EXPECT_EQ(recorder.reports()[0].kind, 2);
  EXPECT_EQ(recorder.lastKey(), "WrongType");
  EXPECT_EQ(recorder.lastText(),
            "The Procedure specified in '@ProcedureName()' does not have the required argument or returntype.");

  recorder.clear();
  kx::StartThread(WaitForGate, 0);
  ASSERT_EQ(recorder.count(), 1u);
  EXPECT_EQ(recorder.reports()[0].kind, 1);  // a displayed warning
  EXPECT_EQ(recorder.lastKey(), "NoProcedure");
  EXPECT_EQ(recorder.lastText(), "The specified '@ProcedureName()' is not a Procedure pointer.");
  kx::SetDebugSymbols(before);
}

struct MutexRun {
  kx::ThreadMutex* mutex;
  std::atomic<int> got{0};
};

TEST_F(Threads, AMutexLockedTwiceMustBeUnlockedTwice) {
  static kx::ThreadMutex mutex;
  kx::InitMutex(&mutex);
  kxtest::ReportRecorder recorder;
  kx::LockMutex(&mutex);
  kx::LockMutex(&mutex);
  static std::atomic<int> got{0};
  static std::atomic<int> tried{0};
  got = 0;
  tried = 0;
  int32_t other = kx::StartThread([](int32_t) -> int32_t {
    tried = kx::TryLockMutex(&mutex) ? 2 : 1;
    kx::LockMutex(&mutex);
    got = 1;
    kx::UnlockMutex(&mutex);
    return 0;
  }, 0);
  ASSERT_GT(other, 0);
  ASSERT_TRUE(WaitUntil([] { return tried != 0; }, 5000));
  EXPECT_EQ(tried.load(), 1);
  EXPECT_FALSE(WaitUntil([] { return got != 0; }, 50)) << "got the held mutex";
  kx::UnlockMutex(&mutex);
  EXPECT_FALSE(WaitUntil([] { return got != 0; }, 50)) << "got the mutex still held once";
  kx::UnlockMutex(&mutex);
  EXPECT_TRUE(WaitUntil(Ended(other), 5000));
  EXPECT_EQ(got.load(), 1);
  EXPECT_EQ(kx::TryLockMutex(&mutex), 1);
  EXPECT_EQ(kx::TryLockMutex(&mutex), 1);
  kx::UnlockMutex(&mutex);
  kx::UnlockMutex(&mutex);
  EXPECT_EQ(recorder.count(), 0u);

  kx::ThreadMutex stranger = {};
  kx::TryLockMutex(&stranger);
  EXPECT_EQ(recorder.lastKey(), "InvalidMutex");
  kx::UnlockMutex(&stranger);
  kx::FreeMutex(&mutex);
}

TEST_F(Threads, TheMutexExcludesUnderContention) {
  static kx::ThreadMutex mutex;
  static volatile int counter = 0;
  static volatile LONG inside = 0;
  static volatile LONG overlap = 0;
  kx::InitMutex(&mutex);
  counter = 0;
  auto work = [](int32_t rounds) -> int32_t {
    for (int i = 0; i < rounds; ++i) {
      if (i % 3 == 0) {
        while (!kx::TryLockMutex(&mutex)) Sleep(0);
      } else {
        kx::LockMutex(&mutex);
      }
      kx::LockMutex(&mutex);  // recursion inside the critical part
      if (InterlockedIncrement(&inside) != 1) InterlockedExchange(&overlap, 1);
      int v = counter;
      if (i % 50 == 0) Sleep(0);
      counter = v + 1;
      InterlockedDecrement(&inside);
      kx::UnlockMutex(&mutex);
      kx::UnlockMutex(&mutex);
    }
    return 0;
  };
  int32_t threads[4];
  for (int32_t& t : threads) {
    t = kx::StartThread(work, 2000);
    ASSERT_GT(t, 0);
  }
  for (int32_t t : threads) ASSERT_TRUE(WaitUntil(Ended(t), 5000));
  EXPECT_EQ(counter, 8000);
  EXPECT_EQ(overlap, 0);
  EXPECT_EQ(mutex.owner, 0ul);
  kx::FreeMutex(&mutex);
}

std::string Rows(const char* library) {
  const kx::DebuggerList* list = kx::FindDebuggerList(library);
  if (!list) return "<none>";
  std::string rows;
  list->walk([](void* context, const char* row, intptr_t object) {
    *static_cast<std::string*>(context) += std::string(row) + "|" + std::to_string(object) + "\n";
  }, &rows);
  return rows;
}

TEST_F(Threads, DebuggerListsShowThreadsAndMutexes) {
  const kx::DebuggerList* list = kx::FindDebuggerList("KX_LIBRARY_Thread");
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->title, "Thread");
  EXPECT_STREQ(list->columns, "Thread\t100\tPriority\t80\tStatus\t80\tCreation Time\t120\tUsed CPUTime\t120");
  ASSERT_NE(kx::FindDebuggerList("KX_LIBRARY_ThreadSemaphore"), nullptr);
  EXPECT_EQ(Rows("KX_LIBRARY_ThreadSemaphore"), "");

  int32_t t = kx::StartThread(WaitForGate, 0);
  ASSERT_GT(t, 0);
  kx::ThreadPriority(t, 24);
  // "Paused" is the debugger's waiting state, not a suspension by others.
  SuspendThread(kx::ThreadHandle(t));
  std::string rows = Rows("KX_LIBRARY_Thread");
  EXPECT_NE(rows.find(std::to_string(t) + "\t24\tRunning\t"), std::string::npos) << rows;
  ResumeThread(kx::ThreadHandle(t));
  rows = Rows("KX_LIBRARY_Thread");
  size_t at = rows.find(std::to_string(t) + "\t24\tRunning\t");
  ASSERT_NE(at, std::string::npos) << rows;
  // Creation time and used time as hh:mm:ss, then the object (the number).
  std::string row = rows.substr(at, rows.find('\n', at) - at);
  std::string running = std::to_string(t) + "\t24\tRunning\t";
  ASSERT_EQ(row.size(), running.size() + 17 + 1 + std::to_string(t).size()) << row;
  std::string times = row.substr(running.size(), 17);
  for (int i : {2, 5, 11, 14}) EXPECT_EQ(times[i], ':') << row;
  EXPECT_EQ(times[8], '\t') << row;
  EXPECT_EQ(row.substr(running.size() + 17), "|" + std::to_string(t));
  static kx::ThreadMutex mutex;
  kx::InitMutex(&mutex);
  std::string id = std::to_string(intptr_t(&mutex));
  EXPECT_NE(Rows("KX_LIBRARY_ThreadMutex").find(id + "\tUnlocked|" + id), std::string::npos);
  kx::LockMutex(&mutex);
  // The list is read from another thread, as the debugger's front-end would.
  static std::string seen;
  int32_t reader = kx::StartThread([](int32_t) -> int32_t { seen = Rows("KX_LIBRARY_ThreadMutex"); return 0; }, 0);
  ASSERT_TRUE(WaitUntil(Ended(reader), 5000));
  EXPECT_NE(seen.find(id + "\tLocked|" + id), std::string::npos) << seen;
  kx::UnlockMutex(&mutex);
  kx::FreeMutex(&mutex);
  EXPECT_EQ(Rows("KX_LIBRARY_ThreadMutex").find(id), std::string::npos);
}

// A thread stopped in the debugger may show the thread list itself; its own
// row must not cost it its run (a thread that suspends itself never resumes).
TEST_F(Threads, TheThreadListCanBeShownFromAListedThread) {
  static std::string seen;
  static std::atomic<int32_t> self{0};
  seen.clear();
  int32_t t = kx::StartThread([](int32_t) -> int32_t {
    WaitUntil([] { return self != 0; }, 5000);
    seen = Rows("KX_LIBRARY_Thread");
    return 0;
  }, 0);
  ASSERT_GT(t, 0);
  // Waited on by handle: a thread that suspended itself keeps the list lock.
  HANDLE handle = kx::ThreadHandle(t);
  ASSERT_NE(handle, nullptr);
  self = t;
  ASSERT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0) << "the thread suspended itself";
  EXPECT_NE(seen.find(std::to_string(t) + "	16	Running"), std::string::npos) << seen;
}

}  // namespace
