// Numbered object registry, per-thread records and thread-exit watchers.
#include "runtime/core/objects.h"

#include <windows.h>

#include <cstring>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/scoped.h"

namespace kx {

namespace {

// Blocks and dynamic records come from one private heap so that the main heap
// stays small and fragmentation of the libraries' records stays contained.
HANDLE g_objectHeap = nullptr;

HANDLE Heap() {
  if (!g_objectHeap) {
    HANDLE heap = HeapCreate(0, 1024, 0);
    if (InterlockedCompareExchangePointer(&g_objectHeap, heap, nullptr) != nullptr) {
      HeapDestroy(heap);
    }
  }
  return g_objectHeap;
}

struct Block {
  Block* next;
  Block* previous;
  // entries follow, 8-byte aligned
  uint32_t pad[2];
};

// Header in front of every dynamic record; the identity is the address of the
// record itself (just after the header).
struct DynamicHeader {
  DynamicHeader* newer;   // towards the list head
  DynamicHeader* older;   // (on the spare list: the next spare record)
  ObjectTable* table;     // owner while linked, nullptr once freed
  uint32_t pad;
};

inline void* RecordOf(DynamicHeader* header) { return header + 1; }
inline DynamicHeader* HeaderOf(intptr_t identity) {
  return reinterpret_cast<DynamicHeader*>(identity) - 1;
}

// Below this no Windows heap ever hands out memory (the null region and the
// first mapped pages), so such values are never dereferenced as identities.
constexpr uintptr_t LowestAddress = 0x10000;

inline bool InUse(const void* record) {
  return *static_cast<const intptr_t*>(record) != 0;
}

}  // namespace

struct ObjectTable {
  int32_t entrySize;
  int32_t entriesPerBlock;
  int32_t capacity;
  DynamicHeader* dynamicNewest;
  DynamicHeader* dynamicOldest;
  ReleaseFunction release;
  int32_t iterationNumber;
  DynamicHeader* iterationDynamic;
  int32_t blockShift;
  Block* newestBlock;
  Block* firstBlock;
  CRITICAL_SECTION lock;
  int32_t iterating;  // lock depth taken by Begin, 0 when no iteration runs
  // Address range of every dynamic record this table ever had: values
  // outside it are rejected without being dereferenced (for example a large
  // number that the argument check reported as too high).
  uintptr_t dynamicLow;
  uintptr_t dynamicHigh;
  // Freed dynamic records, kept for the next dynamic object of this table
  // instead of going back to the heap: FindObject reads a stale identity's
  // header and first field without the lock, and that memory must stay
  // mapped and read as free (owner nullptr, zeroed record).
  DynamicHeader* spare;
  // What the argument checks report for this table.
  const char* caption;
  intptr_t highestNumber;
  int32_t reportedLimit;
};

namespace {

bool AddBlock(ObjectTable* table) {
  SIZE_T bytes = sizeof(Block) + SIZE_T(table->entrySize) * table->entriesPerBlock;
  Block* block = static_cast<Block*>(HeapAlloc(Heap(), HEAP_ZERO_MEMORY, bytes));
  if (!block) return false;
  block->previous = table->newestBlock;
  if (table->newestBlock) table->newestBlock->next = block;
  else table->firstBlock = block;
  table->newestBlock = block;
  // FindObject reads the capacity without the lock: the grown capacity may
  // only be seen once the block is linked (a full barrier keeps the order).
  InterlockedExchange(reinterpret_cast<volatile LONG*>(&table->capacity), table->capacity + table->entriesPerBlock);
  return true;
}

inline void* Slot(ObjectTable* table, intptr_t number) {
  Block* block = table->firstBlock;
  for (intptr_t k = number >> table->blockShift; k > 0; --k) block = block->next;
  return reinterpret_cast<char*>(block + 1) +
         (number & (table->entriesPerBlock - 1)) * intptr_t(table->entrySize);
}

inline bool IsNumber(const ObjectTable* table, intptr_t object) {
  return object >= 0 && object < table->capacity;
}

bool IsLinked(ObjectTable* table, DynamicHeader* header) {
  for (DynamicHeader* h = table->dynamicNewest; h; h = h->older) {
    if (h == header) return true;
  }
  return false;
}

}  // namespace

void* ObjectHeap() { return Heap(); }

ObjectTable* CreateObjectTable(int32_t entrySize, int32_t initialCount, ReleaseFunction release,
                               const char* caption, intptr_t highestNumber, int32_t reportedLimit) {
  if (entrySize < int32_t(sizeof(intptr_t))) entrySize = sizeof(intptr_t);
  entrySize = (entrySize + 3) & ~3;
  ObjectTable* table = static_cast<ObjectTable*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ObjectTable)));
  if (!table) return nullptr;
  int32_t perBlock = 1, shift = 0;
  while (perBlock < initialCount) {
    perBlock <<= 1;
    ++shift;
  }
  table->entrySize = entrySize;
  table->entriesPerBlock = perBlock;
  table->blockShift = shift;
  table->release = release;
  table->caption = caption ? caption : "";
  table->highestNumber = highestNumber;
  table->reportedLimit = reportedLimit ? reportedLimit : int32_t(highestNumber + 1);
  InitializeCriticalSection(&table->lock);
  if (!AddBlock(table)) {
    DeleteCriticalSection(&table->lock);
    HeapFree(GetProcessHeap(), 0, table);
    return nullptr;
  }
  return table;
}

void* AllocateObject(ObjectTable* table, intptr_t number) {
  if (!table || number < DynamicNumber) return nullptr;
  if (number == DynamicNumber) {
    EnterCriticalSection(&table->lock);
    DynamicHeader* header = table->spare;
    if (header) {
      table->spare = header->older;
      header->newer = header->older = nullptr;
    } else {
      LeaveCriticalSection(&table->lock);
      header = static_cast<DynamicHeader*>(
          HeapAlloc(Heap(), HEAP_ZERO_MEMORY, sizeof(DynamicHeader) + table->entrySize));
      if (!header) return nullptr;
      EnterCriticalSection(&table->lock);
    }
    uintptr_t address = reinterpret_cast<uintptr_t>(RecordOf(header));
    if (table->dynamicLow == 0 || address < table->dynamicLow) table->dynamicLow = address;
    if (address > table->dynamicHigh) table->dynamicHigh = address;
    header->table = table;
    header->older = table->dynamicNewest;
    if (table->dynamicNewest) table->dynamicNewest->newer = header;
    else table->dynamicOldest = header;
    table->dynamicNewest = header;
    LeaveCriticalSection(&table->lock);
    return RecordOf(header);
  }
  ScopedLock lock(&table->lock);
  while (number >= table->capacity) {
    if (!AddBlock(table)) return nullptr;
  }
  void* slot = Slot(table, number);
  // Only an object that still holds the number is released: the release
  // functions are the libraries' close operations, and calling them on a free
  // number would be a no-op at best.
  if (table->release && InUse(slot)) table->release(number);
  std::memset(slot, 0, table->entrySize);
  return slot;
}

intptr_t DynamicIdentity(ObjectTable*, void* record) { return reinterpret_cast<intptr_t>(record); }

void* FindObject(ObjectTable* table, intptr_t object) {
  if (!table) return nullptr;
  if (IsNumber(table, object)) {
    void* slot = Slot(table, object);
    return InUse(slot) ? slot : nullptr;
  }
  if (uintptr_t(object) < LowestAddress + sizeof(DynamicHeader) || (object & 3) != 0) return nullptr;
  if (uintptr_t(object) < table->dynamicLow || uintptr_t(object) > table->dynamicHigh) return nullptr;
  // A freed identity still names mapped memory (the table's spare records),
  // whose owner field reads nullptr and whose record reads zero.
  DynamicHeader* header = HeaderOf(object);
  if (header->table != table) return nullptr;
  void* record = RecordOf(header);
  return InUse(record) ? record : nullptr;
}

void* IsObject(ObjectTable* table, intptr_t object) {
  if (!table) return nullptr;
  if (IsNumber(table, object)) {
    void* slot = Slot(table, object);
    return InUse(slot) ? slot : nullptr;
  }
  if (uintptr_t(object) < LowestAddress) return nullptr;
  ScopedLock lock(&table->lock);
  return IsLinked(table, HeaderOf(object)) ? reinterpret_cast<void*>(object) : nullptr;
}

void FreeObject(ObjectTable* table, intptr_t object) {
  if (!table) return;
  if (IsNumber(table, object)) {
    std::memset(Slot(table, object), 0, table->entrySize);
    return;
  }
  if (uintptr_t(object) < LowestAddress) return;
  DynamicHeader* header = HeaderOf(object);
  ScopedLock lock(&table->lock);
  if (!IsLinked(table, header)) return;
  // An iteration that is about to visit this record moves on to the next one.
  if (table->iterationDynamic == header) table->iterationDynamic = header->newer;
  if (header->newer) header->newer->older = header->older;
  else table->dynamicNewest = header->older;
  if (header->older) header->older->newer = header->newer;
  else table->dynamicOldest = header->newer;
  header->table = nullptr;
  std::memset(RecordOf(header), 0, table->entrySize);
  header->newer = nullptr;
  header->older = table->spare;
  table->spare = header;
}

void BeginObjectIteration(ObjectTable* table) {
  if (!table) return;
  EnterCriticalSection(&table->lock);
  if (table->iterating) LeaveCriticalSection(&table->lock);  // restart, keep one hold
  table->iterating = 1;
  table->iterationNumber = 0;
  table->iterationDynamic = table->dynamicOldest;
}

void* NextObject(ObjectTable* table, intptr_t* object) {
  if (!table || !table->iterating) return nullptr;
  while (table->iterationNumber < table->capacity) {
    intptr_t number = table->iterationNumber++;
    void* slot = Slot(table, number);
    if (InUse(slot)) {
      if (object) *object = number;
      return slot;
    }
  }
  while (DynamicHeader* header = table->iterationDynamic) {
    table->iterationDynamic = header->newer;
    void* record = RecordOf(header);
    if (InUse(record)) {
      if (object) *object = reinterpret_cast<intptr_t>(record);
      return record;
    }
  }
  EndObjectIteration(table);
  return nullptr;
}

void EndObjectIteration(ObjectTable* table) {
  if (!table || !table->iterating) return;
  table->iterating = 0;
  table->iterationDynamic = nullptr;
  LeaveCriticalSection(&table->lock);
}

void FreeAllObjects(ObjectTable* table) {
  if (!table || !table->release) return;
  BeginObjectIteration(table);
  intptr_t object;
  while (NextObject(table, &object)) table->release(object);
}

const char* ObjectTableCaption(const ObjectTable* table) { return table ? table->caption : ""; }

void CheckObjectNumber(const ObjectTable* table, intptr_t number) {
  if (!table) return;
  if (number < DynamicNumber || number > table->highestNumber) {
    ReportError("HighNumber", table->caption, static_cast<int>(table->reportedLimit));
  }
}

void* CheckObject(ObjectTable* table, intptr_t object) {
  if (!table) return nullptr;
  void* record = IsObject(table, object);
  if (!record) ReportError("NoObject", table->caption);
  return record;
}

int32_t ObjectTableCapacity(const ObjectTable* table) { return table ? table->capacity : 0; }
int32_t ObjectTableBlockSize(const ObjectTable* table) { return table ? table->entriesPerBlock : 0; }

// ---- per-thread records -------------------------------------------------

namespace {

struct ThreadPart {
  int32_t offset;
  ThreadRecordFunction init;
  ThreadRecordFunction free;
};

constexpr int MaxParts = 64;
ThreadPart g_parts[MaxParts];
int g_partCount = 0;
int32_t g_recordSize = 0;  // total registered size (8-byte multiples)
DWORD g_tlsSlot = TLS_OUT_OF_INDEXES;

// The header stays where it is for the thread's life (the exit cleanup holds
// it); the parts behind it may move when a later registration grows them.
struct ThreadBlock {
  int32_t size;
  char* parts;
  bool unwatched;  // no exit cleanup frees it (a watcher thread's own block)
};

char* PartsOf(ThreadBlock* block) { return block->parts; }

void FreeThreadBlock(void* value) {
  ThreadBlock* block = static_cast<ThreadBlock*>(value);
  for (int i = 0; i < g_partCount; ++i) {
    if (g_parts[i].free && g_parts[i].offset < block->size) g_parts[i].free(PartsOf(block) + g_parts[i].offset);
  }
  if (block->parts) HeapFree(GetProcessHeap(), 0, block->parts);
  HeapFree(GetProcessHeap(), 0, block);
}

// Grows the parts of a block to the registered size, zero-filled, and runs
// the init functions of the parts that are new to it (from).
bool GrowThreadBlock(ThreadBlock* block, int32_t newSize, bool runInits) {
  if (newSize <= block->size) return true;
  void* grown = block->parts ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block->parts, newSize)
                             : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, newSize);
  if (!grown) return false;
  int32_t from = block->size;
  block->parts = static_cast<char*>(grown);
  block->size = newSize;
  if (runInits) {
    for (int i = 0; i < g_partCount; ++i) {
      if (g_parts[i].init && g_parts[i].offset >= from && g_parts[i].offset < newSize) {
        g_parts[i].init(block->parts + g_parts[i].offset);
      }
    }
  }
  return true;
}

ThreadBlock* NewThreadBlock() {
  return static_cast<ThreadBlock*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadBlock)));
}

}  // namespace

int32_t RegisterThreadRecord(int32_t size, ThreadRecordFunction init, ThreadRecordFunction free) {
  if (g_tlsSlot == TLS_OUT_OF_INDEXES) g_tlsSlot = TlsAlloc();
  if (g_tlsSlot == TLS_OUT_OF_INDEXES) return -1;
  if (size < 0) size = 0;
  int32_t offset = g_recordSize;
  int32_t newSize = offset + ((size + 7) & ~7);
  if (newSize == offset) newSize += 8;  // every part gets its own address
  ThreadBlock* block = static_cast<ThreadBlock*>(TlsGetValue(g_tlsSlot));
  if (!block) {
    block = NewThreadBlock();
    if (!block) return -1;
    TlsSetValue(g_tlsSlot, block);
  }
  if (!GrowThreadBlock(block, newSize, false)) return -1;
  g_recordSize = newSize;
  if ((init || free) && g_partCount < MaxParts) g_parts[g_partCount++] = {offset, init, free};
  if (init) init(PartsOf(block) + offset);
  return offset;
}

void* GetThreadRecord(int32_t offset) {
  if (g_tlsSlot == TLS_OUT_OF_INDEXES || offset < 0 || offset >= g_recordSize) return nullptr;
  DWORD error = GetLastError();
  ThreadBlock* block = static_cast<ThreadBlock*>(TlsGetValue(g_tlsSlot));
  if (!block) {
    block = NewThreadBlock();
    if (!block || !GrowThreadBlock(block, g_recordSize, true)) {
      if (block) HeapFree(GetProcessHeap(), 0, block);
      SetLastError(error);
      return nullptr;
    }
    TlsSetValue(g_tlsSlot, block);
    block->unwatched = !AddThreadExitCleanup(FreeThreadBlock, block);
  } else if (offset >= block->size) {
    // A part registered after this thread made its block.
    GrowThreadBlock(block, g_recordSize, true);
  }
  SetLastError(error);
  return offset < block->size ? PartsOf(block) + offset : nullptr;
}

// ---- thread-exit watchers -----------------------------------------------

namespace {

constexpr int WaitSlots = 63;  // one below MAXIMUM_WAIT_OBJECTS, slot 0 = wake semaphore

struct Cleanup {
  Cleanup* next;
  ThreadExitCallback callback;
  void* value;
};

struct Watcher {
  DWORD threadId;  // the watcher thread itself
  Watcher* next;
  Watcher* previous;
  HANDLE handles[WaitSlots];
  DWORD threadIds[WaitSlots];
  Cleanup* cleanups[WaitSlots];
  int used;
};

struct WatcherLock {
  CRITICAL_SECTION section;
  WatcherLock() { InitializeCriticalSection(&section); }
};

CRITICAL_SECTION& WatchLock() {
  static WatcherLock lock;  // made on first use
  return lock.section;
}

Watcher* g_watchers = nullptr;

DWORD WINAPI WatcherThread(void* parameter) {
  Watcher* watcher = static_cast<Watcher*>(parameter);
  HANDLE waitList[WaitSlots];
  for (;;) {
    EnterCriticalSection(&WatchLock());
    int count = watcher->used;
    std::memcpy(waitList, watcher->handles, sizeof(HANDLE) * count);
    LeaveCriticalSection(&WatchLock());

    DWORD result = WaitForMultipleObjects(count, waitList, FALSE, INFINITE);
    int slot = -1;
    if (result >= WAIT_OBJECT_0 + 1 && result < WAIT_OBJECT_0 + DWORD(count)) slot = result - WAIT_OBJECT_0;
    else if (result >= WAIT_ABANDONED_0 + 1 && result < WAIT_ABANDONED_0 + DWORD(count)) slot = result - WAIT_ABANDONED_0;
    if (slot < 0) {
      if (result == WAIT_FAILED) Sleep(1);  // never spin on a broken handle list
      continue;
    }

    EnterCriticalSection(&WatchLock());
    // Only this thread removes slots and new ones are appended, so the index
    // of the copied list still names the same slot.
    Cleanup* taken = watcher->cleanups[slot];
    CloseHandle(watcher->handles[slot]);
    for (int i = slot; i + 1 < watcher->used; ++i) {
      watcher->handles[i] = watcher->handles[i + 1];
      watcher->threadIds[i] = watcher->threadIds[i + 1];
      watcher->cleanups[i] = watcher->cleanups[i + 1];
    }
    --watcher->used;
    bool last = watcher->used == 1;
    if (last) {
      CloseHandle(watcher->handles[0]);
      if (watcher->previous) watcher->previous->next = watcher->next;
      else g_watchers = watcher->next;
      if (watcher->next) watcher->next->previous = watcher->previous;
    }
    LeaveCriticalSection(&WatchLock());

    while (taken) {
      Cleanup* next = taken->next;
      taken->callback(taken->value);
      HeapFree(GetProcessHeap(), 0, taken);
      taken = next;
    }
    if (last) {
      HeapFree(GetProcessHeap(), 0, watcher);
      // A cleanup that needed a per-thread part while this watcher was
      // listed gave it a block that no watcher frees (a watcher cannot watch
      // itself): free it here.  (Cleanups of the last slot run after the
      // unlink, so a block made then is watched by another watcher.)
      if (g_tlsSlot != TLS_OUT_OF_INDEXES) {
        ThreadBlock* own = static_cast<ThreadBlock*>(TlsGetValue(g_tlsSlot));
        if (own && own->unwatched) {
          TlsSetValue(g_tlsSlot, nullptr);
          FreeThreadBlock(own);
        }
      }
      return 0;
    }
  }
}

}  // namespace

int AddThreadExitCleanup(ThreadExitCallback callback, void* value) {
  if (!callback) return 0;
  DWORD error = GetLastError();
  Cleanup* cleanup = static_cast<Cleanup*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Cleanup)));
  if (!cleanup) return 0;
  cleanup->callback = callback;
  cleanup->value = value;
  cleanup->next = nullptr;
  DWORD self = GetCurrentThreadId();
  int ok = 0;
  EnterCriticalSection(&WatchLock());
  // A watcher thread (running a cleanup that needed a per-thread part) cannot
  // watch itself: it would wait for its own end.
  bool watcher = false;
  for (Watcher* w = g_watchers; w; w = w->next) watcher = watcher || w->threadId == self;
  if (watcher) {
    LeaveCriticalSection(&WatchLock());
    HeapFree(GetProcessHeap(), 0, cleanup);
    SetLastError(error);
    return 0;
  }
  for (Watcher* w = g_watchers; w && !ok; w = w->next) {
    for (int i = 1; i < w->used; ++i) {
      // A thread ID is reused once its thread has ended: a slot whose thread
      // ended but that its watcher has not taken yet belongs to an earlier
      // thread, and its cleanups are about to run.
      if (w->threadIds[i] == self && WaitForSingleObject(w->handles[i], 0) == WAIT_TIMEOUT) {
        cleanup->next = w->cleanups[i];  // most recently added runs first
        w->cleanups[i] = cleanup;
        ok = 1;
        break;
      }
    }
  }
  if (!ok) {
    HANDLE thread = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread,
                        SYNCHRONIZE, FALSE, 0)) {
      for (Watcher* w = g_watchers; w; w = w->next) {
        if (w->used < WaitSlots) {
          w->handles[w->used] = thread;
          w->threadIds[w->used] = self;
          w->cleanups[w->used] = cleanup;
          ++w->used;
          ReleaseSemaphore(w->handles[0], 1, nullptr);
          ok = 1;
          break;
        }
      }
      if (!ok) {
        Watcher* w = static_cast<Watcher*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Watcher)));
        HANDLE wake = w ? CreateSemaphoreA(nullptr, 0, 1, nullptr) : nullptr;
        if (wake) {
          w->handles[0] = wake;
          w->handles[1] = thread;
          w->threadIds[1] = self;
          w->cleanups[1] = cleanup;
          w->used = 2;
          HANDLE watcherThread = CreateThread(nullptr, 4096, WatcherThread, w, 0, &w->threadId);
          if (watcherThread) {
            CloseHandle(watcherThread);
            w->next = g_watchers;
            if (g_watchers) g_watchers->previous = w;
            g_watchers = w;
            ok = 1;
          } else {
            CloseHandle(wake);
          }
        }
        if (!ok) {
          if (w) HeapFree(GetProcessHeap(), 0, w);
          CloseHandle(thread);
        }
      }
    }
  }
  LeaveCriticalSection(&WatchLock());
  if (!ok) HeapFree(GetProcessHeap(), 0, cleanup);
  SetLastError(error);
  return ok;
}

int ThreadExitWatcherCount() {
  int count = 0;
  EnterCriticalSection(&WatchLock());
  for (Watcher* w = g_watchers; w; w = w->next) ++count;
  LeaveCriticalSection(&WatchLock());
  return count;
}

}  // namespace kx
