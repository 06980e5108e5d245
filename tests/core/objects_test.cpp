// Object tables, per-thread records and thread-exit watchers.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <vector>

#include "runtime/core/objects.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

// Threads from plain lambdas (CreateThread wants a stdcall routine).
struct SpawnArgs {
  DWORD (*fn)(void*);
  void* arg;
};
DWORD WINAPI SpawnEntry(void* p) {
  SpawnArgs a = *static_cast<SpawnArgs*>(p);
  delete static_cast<SpawnArgs*>(p);
  return a.fn(a.arg);
}
using kxtest::WaitUntil;

HANDLE Spawn(DWORD (*fn)(void*), void* arg) {
  return CreateThread(nullptr, 0, SpawnEntry, new SpawnArgs{fn, arg}, 0, nullptr);
}

struct Record {
  intptr_t handle;   // primary value: non-zero while in use
  int payload;
};

kx::ObjectTable* g_table = nullptr;
std::vector<intptr_t> g_released;

// Mimics a library's close operation: closes the "resource", frees the slot.
void Release(intptr_t object) {
  auto* r = static_cast<Record*>(kx::FindObject(g_table, object));
  if (!r) return;
  g_released.push_back(r->handle);
  kx::FreeObject(g_table, object);
}

Record* Create(intptr_t number, intptr_t handle) {
  auto* r = static_cast<Record*>(kx::AllocateObject(g_table, number));
  if (r) r->handle = handle;
  return r;
}

class ObjectTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_table = kx::CreateObjectTable(sizeof(Record), 16, Release);
    g_released.clear();
  }
};

TEST_F(ObjectTableTest, ReusingANumberReleasesThePreviousObject) {
  ASSERT_NE(Create(0, 111), nullptr);
  Record* second = static_cast<Record*>(kx::AllocateObject(g_table, 0));
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(g_released, std::vector<intptr_t>{111});
  // The slot comes back zeroed: the new object is being built.
  EXPECT_EQ(second->handle, 0);
  EXPECT_EQ(kx::FindObject(g_table, 0), nullptr);
  second->handle = 222;
  EXPECT_EQ(kx::FindObject(g_table, 0), second);
  // A free number is not "released" again.
  kx::FreeObject(g_table, 0);
  kx::AllocateObject(g_table, 0);
  EXPECT_EQ(g_released.size(), 1u);
}

TEST_F(ObjectTableTest, GrowsByWholeBlocks) {
  EXPECT_EQ(kx::ObjectTableBlockSize(g_table), 16);
  EXPECT_EQ(kx::ObjectTableCapacity(g_table), 16);
  ASSERT_NE(Create(200, 5), nullptr);
  EXPECT_EQ(kx::ObjectTableCapacity(g_table), 208);
  for (intptr_t n = 16; n < 200; ++n) ASSERT_EQ(kx::FindObject(g_table, n), nullptr) << n;
  EXPECT_NE(kx::FindObject(g_table, 200), nullptr);
  EXPECT_NE(kx::IsObject(g_table, 200), nullptr);
  ASSERT_NE(Create(1000, 6), nullptr);
  EXPECT_EQ(kx::ObjectTableCapacity(g_table), 1008);
  EXPECT_EQ(static_cast<Record*>(kx::FindObject(g_table, 200))->handle, 5);

  kx::ObjectTable* wide = kx::CreateObjectTable(sizeof(Record), 50, nullptr);
  EXPECT_EQ(kx::ObjectTableBlockSize(wide), 64);
  EXPECT_EQ(kx::ObjectTableCapacity(wide), 64);
}

TEST_F(ObjectTableTest, DynamicIdentitiesLieOutsideTheNumbers) {
  Create(3, 1);
  Record* a = Create(kx::DynamicNumber, 10);
  Record* b = Create(kx::DynamicNumber, 11);
  ASSERT_TRUE(a && b);
  intptr_t ia = kx::DynamicIdentity(g_table, a), ib = kx::DynamicIdentity(g_table, b);
  EXPECT_NE(ia, ib);
  for (intptr_t id : {ia, ib}) {
    EXPECT_TRUE(id < 0 || id >= kx::ObjectTableCapacity(g_table));
    EXPECT_NE(kx::FindObject(g_table, id), nullptr);
    EXPECT_NE(kx::IsObject(g_table, id), nullptr);
  }
  kx::FreeObject(g_table, ia);
  EXPECT_EQ(kx::IsObject(g_table, ia), nullptr);
  EXPECT_EQ(kx::FindObject(g_table, ib), b);
  // Values that name nothing: free numbers, numbers beyond the capacity, and
  // identities of another table.
  EXPECT_EQ(kx::IsObject(g_table, 4), nullptr);
  EXPECT_EQ(kx::FindObject(g_table, 5000), nullptr);
  EXPECT_EQ(kx::IsObject(g_table, 5000), nullptr);
  kx::ObjectTable* other = kx::CreateObjectTable(sizeof(Record), 16, nullptr);
  EXPECT_EQ(kx::FindObject(other, ib), nullptr);
  EXPECT_EQ(kx::IsObject(other, ib), nullptr);
  EXPECT_EQ(kx::AllocateObject(g_table, -2), nullptr);
  // Numbers far above the capacity (reported as too high by the checks) name
  // nothing and are never taken for addresses.
  for (intptr_t n : {intptr_t(70000), intptr_t(99999), intptr_t(0x7FFF0000)}) {
    EXPECT_EQ(kx::FindObject(g_table, n), nullptr) << n;
    EXPECT_EQ(kx::IsObject(g_table, n), nullptr) << n;
  }
}

// Libraries look objects up without the lock and without the dynamic list,
// so a freed identity that a program still passes must stay harmless: its
// memory is never given back to the system and reads as free.
// The checks every library uses: caption and limit come from the table.
TEST(ObjectTableChecks, HighNumberAndNoObjectNameTheTablesKindAndLimit) {
  kx::ObjectTable* table = kx::CreateObjectTable(sizeof(intptr_t), 16, nullptr, "#Thing", 499);
  kx::ObjectTable* own = kx::CreateObjectTable(sizeof(intptr_t), 16, nullptr, "#Other", 100, 100);
  kxtest::ReportRecorder recorder;
  kx::CheckObjectNumber(table, -1);
  kx::CheckObjectNumber(table, 499);
  EXPECT_EQ(recorder.count(), 0u);
  kx::CheckObjectNumber(table, 500);
  EXPECT_EQ(recorder.lastText(), "#Thing object number is very high (over 500), are You sure of that ?");
  kx::CheckObjectNumber(table, -2);
  EXPECT_EQ(recorder.count(), 2u);
  kx::CheckObjectNumber(own, 100);
  EXPECT_EQ(recorder.count(), 2u) << "a limit of its own: 100 is still accepted";
  kx::CheckObjectNumber(own, 101);
  EXPECT_EQ(recorder.lastText(), "#Other object number is very high (over 100), are You sure of that ?");
  recorder.clear();

  EXPECT_EQ(kx::CheckObject(table, 3), nullptr);
  EXPECT_EQ(recorder.lastText(), "The specified #Thing is not initialized.");
  *static_cast<intptr_t*>(kx::AllocateObject(table, 3)) = 1;
  void* dynamic = kx::AllocateObject(table, kx::DynamicNumber);
  *static_cast<intptr_t*>(dynamic) = 1;
  recorder.clear();
  EXPECT_NE(kx::CheckObject(table, 3), nullptr);
  EXPECT_NE(kx::CheckObject(table, kx::DynamicIdentity(table, dynamic)), nullptr);
  EXPECT_EQ(recorder.count(), 0u);
  kx::CheckObject(nullptr, 3);
  EXPECT_EQ(recorder.count(), 0u) << "a library that has not started reports nothing";
}

TEST(ObjectTableFreed, AStaleDynamicIdentityIsNotFoundAndItsMemoryStaysReadable) {
  // Records this large are served by the heap straight from the system; a heap
  // that got them back would unmap them at once.
  constexpr int32_t Large = 1 << 20;
  kx::ObjectTable* table = kx::CreateObjectTable(Large, 1, nullptr);
  ASSERT_NE(table, nullptr);
  std::vector<intptr_t> stale;
  for (int i = 0; i < 3; ++i) {
    auto* r = static_cast<Record*>(kx::AllocateObject(table, kx::DynamicNumber));
    ASSERT_NE(r, nullptr);
    r->handle = 1000 + i;
    stale.push_back(kx::DynamicIdentity(table, r));
  }
  for (intptr_t id : stale) kx::FreeObject(table, id);
  for (intptr_t id : stale) {
    MEMORY_BASIC_INFORMATION info = {};
    ASSERT_NE(VirtualQuery(reinterpret_cast<void*>(id), &info, sizeof info), 0u);
    EXPECT_EQ(info.State, DWORD(MEM_COMMIT)) << "freed record memory was given back";
    if (info.State != MEM_COMMIT) continue;  // the lookup below would fault
    EXPECT_EQ(kx::FindObject(table, id), nullptr);
    EXPECT_EQ(kx::IsObject(table, id), nullptr);
    kx::FreeObject(table, id);  // freeing twice does nothing
  }
  // A new dynamic object is found; the stale identities still name nothing
  // unless the new one took over the same record.
  auto* fresh = static_cast<Record*>(kx::AllocateObject(table, kx::DynamicNumber));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->handle, 0);
  fresh->handle = 7;
  intptr_t freshId = kx::DynamicIdentity(table, fresh);
  EXPECT_EQ(kx::FindObject(table, freshId), fresh);
  for (intptr_t id : stale) {
    if (id != freshId) {
      EXPECT_EQ(kx::FindObject(table, id), nullptr);
    }
  }
  kx::FreeObject(table, freshId);
  EXPECT_EQ(kx::FindObject(table, freshId), nullptr);
}

TEST_F(ObjectTableTest, IteratesNumbersAscendingThenDynamicOldestFirst) {
  Create(7, 70);
  intptr_t d1 = kx::DynamicIdentity(g_table, Create(kx::DynamicNumber, 100));
  Create(2, 20);
  intptr_t d2 = kx::DynamicIdentity(g_table, Create(kx::DynamicNumber, 101));
  intptr_t d3 = kx::DynamicIdentity(g_table, Create(kx::DynamicNumber, 102));
  Create(40, 400);

  std::vector<intptr_t> seen;
  kx::BeginObjectIteration(g_table);
  intptr_t object;
  while (void* record = kx::NextObject(g_table, &object)) {
    seen.push_back(static_cast<Record*>(record)->handle);
    // Freeing the current object must not disturb the walk.
    if (object == 7 || object == d2) kx::FreeObject(g_table, object);
  }
  EXPECT_EQ(seen, (std::vector<intptr_t>{20, 70, 400, 100, 101, 102}));
  EXPECT_EQ(kx::FindObject(g_table, 7), nullptr);
  EXPECT_EQ(kx::FindObject(g_table, d2), nullptr);
  EXPECT_NE(kx::FindObject(g_table, d1), nullptr);
  EXPECT_NE(kx::FindObject(g_table, d3), nullptr);

  // The lock was given back: another thread can take objects.
  HANDLE t = Spawn([](void*) -> DWORD { return Create(9, 90) ? 0 : 1; }, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  CloseHandle(t);

  kx::FreeAllObjects(g_table);
  EXPECT_EQ(g_released, (std::vector<intptr_t>{20, 90, 400, 100, 102}));
  kx::BeginObjectIteration(g_table);
  EXPECT_EQ(kx::NextObject(g_table, &object), nullptr);
}

TEST_F(ObjectTableTest, IterationStoppedEarlyReleasesTheLock) {
  Create(1, 1);
  Create(2, 2);
  kx::BeginObjectIteration(g_table);
  intptr_t object;
  ASSERT_NE(kx::NextObject(g_table, &object), nullptr);
  kx::EndObjectIteration(g_table);
  HANDLE t = Spawn([](void*) -> DWORD { return Create(3, 3) ? 0 : 1; }, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_NE(kx::FindObject(g_table, 3), nullptr);
}

// ---- per-thread records and exit watchers ----

struct Part {
  int initialised;
  int value;
};

std::atomic<int> g_partsFreed{0};
int32_t g_partOffset = -1;

void InitPart(void* p) { static_cast<Part*>(p)->initialised = 1; }
void FreePart(void*) { ++g_partsFreed; }

TEST(ThreadRecords, PartsAreMadeOnFirstUseAndFreedAfterTheThreadEnds) {
  if (g_partOffset < 0) g_partOffset = kx::RegisterThreadRecord(sizeof(Part), InitPart, FreePart);
  ASSERT_GE(g_partOffset, 0);
  auto* mine = static_cast<Part*>(kx::GetThreadRecord(g_partOffset));
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(mine->initialised, 1);
  mine->value = 5;
  EXPECT_EQ(static_cast<Part*>(kx::GetThreadRecord(g_partOffset))->value, 5);

  g_partsFreed = 0;
  HANDLE t = Spawn([](void*) -> DWORD {
    auto* p = static_cast<Part*>(kx::GetThreadRecord(g_partOffset));
    if (!p || p->initialised != 1 || p->value != 0) return 1;
    p->value = 9;
    return 0;
  }, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeThread(t, &code);
  CloseHandle(t);
  EXPECT_EQ(code, 0u);
  ASSERT_TRUE(WaitUntil([] { return g_partsFreed != 0; }, 5000));
  EXPECT_FALSE(WaitUntil([] { return g_partsFreed > 1; }, 50)) << "freed twice";
  // The main thread's own part is untouched.
  EXPECT_EQ(static_cast<Part*>(kx::GetThreadRecord(g_partOffset))->value, 5);
}

TEST(ThreadRecords, APartRegisteredLaterReachesThreadsThatAlreadyHaveABlock) {
  if (g_partOffset < 0) g_partOffset = kx::RegisterThreadRecord(sizeof(Part), InitPart, FreePart);
  static HANDLE hasBlock = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  static HANDLE registered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  static int32_t late = -1;
  HANDLE t = Spawn([](void*) -> DWORD {
    auto* first = static_cast<Part*>(kx::GetThreadRecord(g_partOffset));
    if (!first) return 1;
    first->value = 3;
    SetEvent(hasBlock);
    WaitForSingleObject(registered, 5000);
    auto* later = static_cast<Part*>(kx::GetThreadRecord(late));
    auto* again = static_cast<Part*>(kx::GetThreadRecord(g_partOffset));
    if (!later || later->initialised != 1 || later->value != 0) return 2;
    return again && again->value == 3 ? 0 : 3;
  }, nullptr);
  ASSERT_EQ(WaitForSingleObject(hasBlock, 5000), WAIT_OBJECT_0);
  late = kx::RegisterThreadRecord(sizeof(Part), InitPart, nullptr);
  ASSERT_GT(late, g_partOffset);
  EXPECT_EQ(static_cast<Part*>(kx::GetThreadRecord(late))->initialised, 1);
  SetEvent(registered);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  DWORD code = 9;
  GetExitCodeThread(t, &code);
  CloseHandle(t);
  EXPECT_EQ(code, 0u);
}

std::atomic<int> g_cleanups[70];
std::vector<int> g_order;
CRITICAL_SECTION g_orderLock;

void CountCleanup(void* value) { ++g_cleanups[reinterpret_cast<intptr_t>(value)]; }
void OrderCleanup(void* value) {
  EnterCriticalSection(&g_orderLock);
  g_order.push_back(int(reinterpret_cast<intptr_t>(value)));
  LeaveCriticalSection(&g_orderLock);
}

TEST(ThreadExitWatchers, TheSixtyThirdWatchedThreadStartsASecondWatcher) {
  for (auto& c : g_cleanups) c = 0;
  // Watchers of earlier tests end once their threads' cleanups ran.
  WaitUntil([] { return kx::ThreadExitWatcherCount() == 0; }, 5000);
  int before = kx::ThreadExitWatcherCount();
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE registered = CreateSemaphoreA(nullptr, 0, 100, nullptr);
  struct Args {
    HANDLE release, registered;
    intptr_t index;
  };
  constexpr int Threads = 63;
  Args args[Threads];
  HANDLE threads[Threads];
  for (int i = 0; i < Threads; ++i) {
    args[i] = {release, registered, i};
    threads[i] = Spawn([](void* p) -> DWORD {
      auto* a = static_cast<Args*>(p);
      int ok = kx::AddThreadExitCleanup(CountCleanup, reinterpret_cast<void*>(a->index));
      ReleaseSemaphore(a->registered, 1, nullptr);
      WaitForSingleObject(a->release, INFINITE);
      return ok ? 0 : 1;
    }, &args[i]);
    ASSERT_NE(threads[i], nullptr);
    ASSERT_EQ(WaitForSingleObject(registered, 5000), WAIT_OBJECT_0);
    // One watcher holds its semaphore and 62 threads.
    EXPECT_EQ(kx::ThreadExitWatcherCount(), before + (i < 62 ? 1 : 2)) << i;
  }
  SetEvent(release);
  for (HANDLE t : threads) {
    ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    CloseHandle(t);
  }
  WaitUntil([] {
    for (int i = 0; i < Threads; ++i) {
      if (g_cleanups[i] != 1) return false;
    }
    return true;
  }, 5000);
  EXPECT_FALSE(WaitUntil([] {
    for (int i = 0; i < Threads; ++i) {
      if (g_cleanups[i] > 1) return true;
    }
    return false;
  }, 100)) << "a cleanup ran twice";
  for (int i = 0; i < Threads; ++i) EXPECT_EQ(g_cleanups[i].load(), 1) << i;
  // Watchers whose threads have all ended go away.
  WaitUntil([&] { return kx::ThreadExitWatcherCount() == before; }, 5000);
  EXPECT_EQ(kx::ThreadExitWatcherCount(), before);
  CloseHandle(release);
  CloseHandle(registered);
}

TEST(ThreadExitWatchers, ACleanupUsingAPerThreadPartDoesNotKeepItsWatcher) {
  if (g_partOffset < 0) g_partOffset = kx::RegisterThreadRecord(sizeof(Part), InitPart, FreePart);
  WaitUntil([] { return kx::ThreadExitWatcherCount() == 0; }, 5000);
  ASSERT_EQ(kx::ThreadExitWatcherCount(), 0);
  static std::atomic<int> ran{0};
  ran = 0;
  int freedBefore = g_partsFreed;
  HANDLE t = Spawn([](void*) -> DWORD {
    kx::AddThreadExitCleanup([](void*) {
      // Runs on the watcher thread, which then gets a part of its own.
      if (kx::GetThreadRecord(g_partOffset)) ++ran;
    }, nullptr);
    return 0;
  }, nullptr);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  WaitUntil([] { return ran != 0 && kx::ThreadExitWatcherCount() == 0; }, 5000);
  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(kx::ThreadExitWatcherCount(), 0);
  // The watcher's own part is freed once, after the watcher ended.
  WaitUntil([&] { return g_partsFreed != freedBefore; }, 5000);
  EXPECT_FALSE(WaitUntil([&] { return g_partsFreed - freedBefore > 1; }, 50)) << "freed twice";
  EXPECT_EQ(g_partsFreed - freedBefore, 1);
}

// The same while the watcher still watches another thread: it cannot watch
// itself, so it frees its own part when it ends.
TEST(ThreadExitWatchers, AWatcherFreesItsOwnPartWhenItEnds) {
  if (g_partOffset < 0) g_partOffset = kx::RegisterThreadRecord(sizeof(Part), InitPart, FreePart);
  WaitUntil([] { return kx::ThreadExitWatcherCount() == 0; }, 5000);
  ASSERT_EQ(kx::ThreadExitWatcherCount(), 0);
  static std::atomic<int> ran{0};
  ran = 0;
  int freedBefore = g_partsFreed;
  HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE registered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  struct Events { HANDLE hold, registered; } events{hold, registered};
  HANDLE keeper = Spawn([](void* p) -> DWORD {
    auto* e = static_cast<Events*>(p);
    kx::AddThreadExitCleanup([](void*) {}, nullptr);
    SetEvent(e->registered);
    WaitForSingleObject(e->hold, 10000);
    return 0;
  }, &events);
  ASSERT_EQ(WaitForSingleObject(registered, 5000), WAIT_OBJECT_0);
  HANDLE t = Spawn([](void*) -> DWORD {
    kx::AddThreadExitCleanup([](void*) {
      if (kx::GetThreadRecord(g_partOffset)) ++ran;
    }, nullptr);
    return 0;
  }, nullptr);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  WaitUntil([] { return ran != 0; }, 5000);
  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(kx::ThreadExitWatcherCount(), 1);
  SetEvent(hold);
  WaitForSingleObject(keeper, 5000);
  CloseHandle(keeper);
  WaitUntil([&] { return kx::ThreadExitWatcherCount() == 0 && g_partsFreed != freedBefore; }, 5000);
  EXPECT_FALSE(WaitUntil([&] { return g_partsFreed - freedBefore > 1; }, 50)) << "freed twice";
  EXPECT_EQ(kx::ThreadExitWatcherCount(), 0);
  EXPECT_EQ(g_partsFreed - freedBefore, 1);
  CloseHandle(hold);
  CloseHandle(registered);
}

TEST(ThreadExitWatchers, CleanupsOfOneThreadRunMostRecentFirst) {
  InitializeCriticalSection(&g_orderLock);
  g_order.clear();
  HANDLE t = Spawn([](void*) -> DWORD {
    for (intptr_t i = 1; i <= 3; ++i) kx::AddThreadExitCleanup(OrderCleanup, reinterpret_cast<void*>(i));
    return 0;
  }, nullptr);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  WaitUntil([] {
    EnterCriticalSection(&g_orderLock);
    size_t n = g_order.size();
    LeaveCriticalSection(&g_orderLock);
    return n == 3;
  }, 5000);
  EnterCriticalSection(&g_orderLock);
  EXPECT_EQ(g_order, (std::vector<int>{3, 2, 1}));
  LeaveCriticalSection(&g_orderLock);
}

}  // namespace
