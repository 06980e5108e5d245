// Facts of the system that the runtime is built on, checked where it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

TEST(Kernel32, ThreadLocalSlotIsPerThread) {
  DWORD slot = TlsAlloc();
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  ASSERT_TRUE(TlsSetValue(slot, reinterpret_cast<void*>(0x1234)));

  struct Seen { DWORD slot; void* value; } seen{slot, reinterpret_cast<void*>(1)};
  HANDLE thread = CreateThread(
      nullptr, 4096,
      [](void* p) WINAPI -> DWORD {
        auto* s = static_cast<Seen*>(p);
        s->value = TlsGetValue(s->slot);  // a new thread starts with null
        TlsSetValue(s->slot, reinterpret_cast<void*>(0x99));
        return 0;
      },
      &seen, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  EXPECT_EQ(seen.value, nullptr);
  EXPECT_EQ(TlsGetValue(slot), reinterpret_cast<void*>(0x1234));
  TlsFree(slot);
}

TEST(Kernel32, PrivateHeapGivesZeroedGrowableBlocks) {
  HANDLE heap = HeapCreate(0, 1024, 0);
  ASSERT_NE(heap, nullptr);
  auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100000));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(block[i], 0) << i;
  std::memset(block, 0xAB, 100000);
  auto* bigger = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 200000));
  ASSERT_NE(bigger, nullptr);
  EXPECT_EQ(bigger[99999], 0xAB);
  EXPECT_EQ(bigger[100000], 0);
  EXPECT_EQ(bigger[199999], 0);
  EXPECT_TRUE(HeapFree(heap, 0, bigger));
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST(Kernel32, TempPathIsAnExistingFolderWithBackslash) {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetTempPathA(sizeof path, path);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof path);
  EXPECT_EQ(path[length - 1], '\\');
  DWORD attributes = GetFileAttributesA(path);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Kernel32, LastErrorIsPerThreadAndSurvivesSuccessfulCalls) {
  SetLastError(1234);
  std::atomic<DWORD> other{0};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) WINAPI -> DWORD {
        static_cast<std::atomic<DWORD>*>(p)->store(GetLastError());
        return 0;
      },
      &other, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_NE(other.load(), 1234u);
}

// The thread-exit watchers size their wait lists by this limit.
TEST(Kernel32, OneWaitTakesAtMost64Handles) {
  HANDLE events[MAXIMUM_WAIT_OBJECTS + 1];
  for (HANDLE& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetEvent(events[63]);
  EXPECT_EQ(WaitForMultipleObjects(64, events, FALSE, 0), WAIT_OBJECT_0 + 63);
  SetLastError(0);
  EXPECT_EQ(WaitForMultipleObjects(65, events, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  for (HANDLE e : events) CloseHandle(e);
}
