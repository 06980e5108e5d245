// Thread library: numbered threads, priorities, the recursive spin mutex and
// the debugger's thread, mutex and semaphore lists.
#include "runtime/core/threads.h"

#include <windows.h>

#include <cinttypes>
#include <cstdio>

#include "runtime/core/debugger_seam.h"

namespace kx {

namespace {

struct ThreadEntry {
  ThreadEntry* next;
  HANDLE handle;
  int32_t number;
  DWORD threadId;
  volatile LONG stop;     // the stop request of this thread
};

struct MutexEntry {
  MutexEntry* next;
  ThreadMutex* mutex;
};

struct SemaphoreEntry {
  SemaphoreEntry* next;
  HANDLE semaphore;
};

CRITICAL_SECTION g_listLock;
bool g_started = false;
ThreadEntry* g_threads = nullptr;
MutexEntry* g_mutexes = nullptr;
SemaphoreEntry* g_semaphores = nullptr;
int32_t g_nextNumber = 1;
volatile LONG g_stopAll = 0;
// How long StopThread waits for a thread it asked to stop.
constexpr DWORD StopWaitMilliseconds = 5000;
// The calling thread's own stop flag (inside its entry, which lives until the
// thread has ended); null in threads the library did not start.
thread_local volatile LONG* t_stop = nullptr;

using GetThreadTimesFunction = BOOL(WINAPI*)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME, LPFILETIME);
GetThreadTimesFunction g_getThreadTimes = nullptr;

void EnsureStarted() {
  if (!g_started) StartThreadLibrary();
}

struct StartRecord {
  ThreadProcedure procedure;
  int32_t value;
  volatile LONG* stop;
};

DWORD WINAPI Trampoline(void* parameter) {
  StartRecord start = *static_cast<StartRecord*>(parameter);
  HeapFree(GetProcessHeap(), 0, parameter);
  // The stop flag lives in the entry, which outlives the thread.
  t_stop = start.stop;
  return DWORD(start.procedure(start.value));
}

bool Ended(HANDLE handle) { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }

// Handle of the running thread with that number; nullptr if none.
HANDLE FindRunning(int32_t number) {
  HANDLE found = nullptr;
  EnterCriticalSection(&g_listLock);
  for (ThreadEntry* e = g_threads; e; e = e->next) {
    if (e->number == number) {
      if (!Ended(e->handle)) found = e->handle;
      break;
    }
  }
  LeaveCriticalSection(&g_listLock);
  return found;
}

int32_t FromWin32(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_LOWEST: return 1;
    case THREAD_PRIORITY_BELOW_NORMAL: return 8;
    case THREAD_PRIORITY_NORMAL: return 16;
    case THREAD_PRIORITY_ABOVE_NORMAL: return 24;
    case THREAD_PRIORITY_HIGHEST: return 31;
    case THREAD_PRIORITY_TIME_CRITICAL: return 32;
    default: return 0;
  }
}

int ToWin32(int32_t priority) {
  switch (priority) {
    case 1: return THREAD_PRIORITY_LOWEST;
    case 16: return THREAD_PRIORITY_NORMAL;
    case 31: return THREAD_PRIORITY_HIGHEST;
    case 32: return THREAD_PRIORITY_TIME_CRITICAL;
    default: return priority < 16 ? THREAD_PRIORITY_BELOW_NORMAL : THREAD_PRIORITY_ABOVE_NORMAL;
  }
}

bool MutexListed(ThreadMutex* mutex) {
  bool found = false;
  EnterCriticalSection(&g_listLock);
  for (MutexEntry* e = g_mutexes; e; e = e->next) {
    if (e->mutex == mutex) {
      found = true;
      break;
    }
  }
  LeaveCriticalSection(&g_listLock);
  return found;
}

void CheckMutex(ThreadMutex* mutex) {
  EnsureStarted();
  if (!MutexListed(mutex)) ReportLibraryError(&ThreadLibrary, "InvalidMutex");
}

// ---- debugger lists ----

void SplitTime(ULONGLONG hundredNs, int* h, int* m, int* s) {
  ULONGLONG seconds = hundredNs / 10000000ull;
  *h = int(seconds / 3600);
  *m = int(seconds / 60 % 60);
  *s = int(seconds % 60);
}

// Each walk holds the list lock for all of its rows: a front-end that reads
// only part of a list never leaves the lock behind.
void ThreadListWalk(DebuggerListVisitor visit, void* context) {
  char row[DebuggerListRowSize + 1];
  EnterCriticalSection(&g_listLock);
  for (ThreadEntry* e = g_threads; e; e = e->next) {
    // A thread the debugger holds in its line hook (another thread stopped
    // the program) shows "Paused"; nothing is suspended to find out.
    int n = snprintf(row, sizeof row, "%i\t%i\t%s", int(e->number), int(FromWin32(GetThreadPriority(e->handle))),
                     DebuggerThreadWaiting(e->threadId) ? "Paused" : "Running");
    FILETIME creation, exit, kernel, user;
    if (g_getThreadTimes && n >= 0 && n < int(sizeof row) &&
        g_getThreadTimes(e->handle, &creation, &exit, &kernel, &user)) {
      SYSTEMTIME created;
      FileTimeToSystemTime(&creation, &created);
      ULONGLONG used = ((ULONGLONG(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime) +
                       ((ULONGLONG(user.dwHighDateTime) << 32) | user.dwLowDateTime);
      int h, m, s;
      SplitTime(used, &h, &m, &s);
      snprintf(row + n, sizeof row - n, "\t%02i:%02i:%02i\t%02i:%02i:%02i", created.wHour, created.wMinute,
               created.wSecond, h, m, s);
    }
    visit(context, row, e->number);
  }
  LeaveCriticalSection(&g_listLock);
}

void MutexListWalk(DebuggerListVisitor visit, void* context) {
  char row[64];
  EnterCriticalSection(&g_listLock);
  for (MutexEntry* e = g_mutexes; e; e = e->next) {
    bool unlocked = TryLockMutex(e->mutex) != 0;
    if (unlocked) UnlockMutex(e->mutex);
    snprintf(row, sizeof row, "%" PRIdPTR "\t%s", intptr_t(e->mutex), unlocked ? "Unlocked" : "Locked");
    visit(context, row, intptr_t(e->mutex));
  }
  LeaveCriticalSection(&g_listLock);
}

void SemaphoreListWalk(DebuggerListVisitor visit, void* context) {
  char row[64];
  EnterCriticalSection(&g_listLock);
  for (SemaphoreEntry* e = g_semaphores; e; e = e->next) {
    LONG count = 0;
    if (WaitForSingleObject(e->semaphore, 0) == WAIT_OBJECT_0) {
      LONG previous = 0;
      ReleaseSemaphore(e->semaphore, 1, &previous);
      count = previous + 1;
    }
    snprintf(row, sizeof row, "%" PRIdPTR "\t%i", intptr_t(e->semaphore), int(count));
    visit(context, row, intptr_t(e->semaphore));
  }
  LeaveCriticalSection(&g_listLock);
}

DebuggerList g_threadList = {sizeof(DebuggerList), DebuggerListRows, "KX_LIBRARY_Thread", "Thread",
                             "Thread\t100\tPriority\t80\tStatus\t80\tCreation Time\t120\tUsed CPUTime\t120",
                             ThreadListWalk};
const DebuggerList g_mutexList = {sizeof(DebuggerList), DebuggerListRows, "KX_LIBRARY_ThreadMutex",
                                  "Thread - Mutex List", "Mutex\t100\tStatus\t200", MutexListWalk};
const DebuggerList g_semaphoreList = {sizeof(DebuggerList), DebuggerListRows, "KX_LIBRARY_ThreadSemaphore",
                                      "Thread - Semaphore List", "Semaphore\t100\tCount\t200",
                                      SemaphoreListWalk};

}  // namespace

void StartThreadLibrary() {
  if (g_started) return;
  g_started = true;
  InitializeCriticalSection(&g_listLock);
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  g_getThreadTimes = kernel ? reinterpret_cast<GetThreadTimesFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(kernel, "GetThreadTimes")))
                            : nullptr;
  if (!g_getThreadTimes) g_threadList.columns = "Thread\t100\tPriority\t80\tStatus\t80";
  RegisterDebuggerList(&g_threadList);
  RegisterDebuggerList(&g_mutexList);
  RegisterDebuggerList(&g_semaphoreList);
}

void EndThreadLibrary() {
  if (!g_started) return;
  EnterCriticalSection(&g_listLock);
  while (ThreadEntry* e = g_threads) {
    g_threads = e->next;
    CloseHandle(e->handle);
    HeapFree(GetProcessHeap(), 0, e);
  }
  LeaveCriticalSection(&g_listLock);
}

// The procedure's signature is checked against the program's procedure
// tables, which the debugger keeps.
static void CheckStartThread(ThreadProcedure procedure) {
  if (!procedure) {
    ReportError("NullAddress");
    return;
  }
  CheckThreadProcedure(reinterpret_cast<const void*>(procedure));
}

int32_t StartThread(ThreadProcedure procedure, int32_t value) {
  EnsureStarted();
  CheckStartThread(procedure);
  // A null procedure would only crash the new thread.
  if (!procedure) return 0;
  StartRecord* start = static_cast<StartRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(StartRecord)));
  ThreadEntry* entry = static_cast<ThreadEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadEntry)));
  if (!start || !entry) {
    if (start) HeapFree(GetProcessHeap(), 0, start);
    if (entry) HeapFree(GetProcessHeap(), 0, entry);
    return 0;
  }
  start->procedure = procedure;
  start->value = value;
  start->stop = &entry->stop;
  DWORD threadId = 0;
  HANDLE handle = CreateThread(nullptr, 4096, Trampoline, start, 0, &threadId);
  if (!handle) {
    HeapFree(GetProcessHeap(), 0, start);
    HeapFree(GetProcessHeap(), 0, entry);
    return 0;
  }
  EnterCriticalSection(&g_listLock);
  ThreadEntry** link = &g_threads;
  while (ThreadEntry* e = *link) {
    if (Ended(e->handle)) {
      *link = e->next;
      CloseHandle(e->handle);
      HeapFree(GetProcessHeap(), 0, e);
    } else {
      link = &e->next;
    }
  }
  entry->handle = handle;
  entry->threadId = threadId;
  entry->number = g_nextNumber++;
  *link = entry;
  int32_t number = entry->number;
  LeaveCriticalSection(&g_listLock);
  return number;
}

int32_t ThreadRunning(int32_t thread) {
  EnsureStarted();
  return FindRunning(thread) ? 1 : 0;
}

int32_t OtherThreadsRunning() {
  EnsureStarted();
  const DWORD self = GetCurrentThreadId();
  int32_t running = 0;
  EnterCriticalSection(&g_listLock);
  for (ThreadEntry* e = g_threads; e; e = e->next) {
    if (e->threadId != self && !Ended(e->handle)) ++running;
  }
  LeaveCriticalSection(&g_listLock);
  return running;
}

void StopThread(int32_t thread) {
  EnsureStarted();
  HANDLE handle = FindRunning(thread);
  if (thread == 0) ReportError("NullArgument", "Thread");
  else if (!handle) ReportLibraryError(&ThreadLibrary, "InvalidThread");
  // Asked, not killed: a thread killed mid-work may hold the heap's lock or
  // leave a file half written.  It ends at its next look at the request.
  if (handle) {
    RequestThreadStop(thread);
    if (WaitForSingleObject(handle, StopWaitMilliseconds) != WAIT_OBJECT_0) return;
  }
  // Ended (or gone before): the entry goes.  One that outlives the wait
  // keeps its entry, which holds its stop flag, until a later StartThread
  // finds it ended.
  EnterCriticalSection(&g_listLock);
  for (ThreadEntry** link = &g_threads; *link; link = &(*link)->next) {
    ThreadEntry* e = *link;
    if (e->number == thread) {
      *link = e->next;
      CloseHandle(e->handle);
      HeapFree(GetProcessHeap(), 0, e);
      break;
    }
  }
  LeaveCriticalSection(&g_listLock);
}

void RequestThreadStop(int32_t thread) {
  EnsureStarted();
  if (thread == 0) {
    InterlockedExchange(&g_stopAll, 1);
    return;
  }
  EnterCriticalSection(&g_listLock);
  for (ThreadEntry* e = g_threads; e; e = e->next) {
    if (e->number == thread) InterlockedExchange(&e->stop, 1);
  }
  LeaveCriticalSection(&g_listLock);
}

int32_t ThreadStopRequested() {
  if (g_stopAll) return 1;
  return (t_stop && *t_stop) ? 1 : 0;
}

int32_t ThreadPriority(int32_t thread, int32_t priority) {
  EnsureStarted();
  HANDLE handle = FindRunning(thread);
  if (!handle) return 0;
  int32_t previous = FromWin32(GetThreadPriority(handle));
  if (priority != 0) SetThreadPriority(handle, ToWin32(priority));
  return previous;
}

void* ThreadHandle(int32_t thread) {
  EnsureStarted();
  return FindRunning(thread);
}

// ---- mutex ----

void InitMutex(ThreadMutex* mutex) {
  if (!mutex) return;
  EnsureStarted();
  mutex->ticket = 0;
  mutex->released = 0;
  mutex->owner = 0;
  mutex->count = 0;
  if (MutexListed(mutex)) return;
  MutexEntry* entry = static_cast<MutexEntry*>(HeapAlloc(GetProcessHeap(), 0, sizeof(MutexEntry)));
  if (!entry) return;
  entry->mutex = mutex;
  EnterCriticalSection(&g_listLock);
  entry->next = g_mutexes;
  g_mutexes = entry;
  LeaveCriticalSection(&g_listLock);
}

void FreeMutex(ThreadMutex* mutex) {
  EnsureStarted();
  EnterCriticalSection(&g_listLock);
  for (MutexEntry** link = &g_mutexes; *link; link = &(*link)->next) {
    if ((*link)->mutex == mutex) {
      MutexEntry* e = *link;
      *link = e->next;
      HeapFree(GetProcessHeap(), 0, e);
      break;
    }
  }
  LeaveCriticalSection(&g_listLock);
}

void LockMutex(ThreadMutex* mutex) {
  CheckMutex(mutex);
  if (!mutex) return;
  DWORD self = GetCurrentThreadId();
  if (mutex->owner == self) {
    ++mutex->count;
    return;
  }
  long ticket = InterlockedExchangeAdd(const_cast<long*>(&mutex->ticket), 1);
  while (mutex->released != ticket || mutex->owner != 0) Sleep(0);
  mutex->owner = self;
  mutex->count = 1;
}

void UnlockMutex(ThreadMutex* mutex) {
  CheckMutex(mutex);
  if (!mutex || mutex->owner != GetCurrentThreadId()) return;
  if (--mutex->count > 0) return;
  mutex->owner = 0;
  InterlockedIncrement(const_cast<long*>(&mutex->released));
}

int32_t TryLockMutex(ThreadMutex* mutex) {
  CheckMutex(mutex);
  if (!mutex) return 0;
  DWORD self = GetCurrentThreadId();
  if (mutex->owner == self) {
    ++mutex->count;
    return 1;
  }
  long served = mutex->released;
  if (InterlockedCompareExchange(const_cast<long*>(&mutex->ticket), served + 1, served) != served) return 0;
  // The ticket equals the one being served, so only a holder that has not yet
  // stored its owner field can be in the way; wait for it to leave.
  while (mutex->owner != 0) Sleep(0);
  mutex->owner = self;
  mutex->count = 1;
  return 1;
}

}  // namespace kx
