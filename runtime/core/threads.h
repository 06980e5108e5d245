// Threads of the program, their numbers and priorities, and the recursive
// spin mutex of the runtime.
#pragma once

#include <cstdint>

namespace kx {

// A thread procedure: called in the new thread with the start value.
using ThreadProcedure = int32_t (*)(int32_t value);

// Number of the new thread (from 1, never reused), 0 if it cannot be created.
int32_t StartThread(ThreadProcedure procedure, int32_t value);
// 1 while the numbered thread has not ended, else 0.
int32_t ThreadRunning(int32_t thread);
// How many threads the library started still run, the calling one aside.
int32_t OtherThreadsRunning();
// Asks the thread to stop (RequestThreadStop) and waits up to 5 s for its
// end, then drops its entry; a thread that does not end by then runs on and
// keeps its entry.  No thread is ever killed.
void StopThread(int32_t thread);

// The program's stop request: a thread asked to stop ends at its next check
// (the application's pauses, the packer's block loop, the FTP and HTTP
// transfer loops ask ThreadStopRequested()).  Thread 0 asks every thread, the
// program's own first thread included (the program's end).
void RequestThreadStop(int32_t thread);
// 1 when a stop was asked of the calling thread or of every thread, else 0.
int32_t ThreadStopRequested();
// The priority before the call (1, 8, 16, 24, 31, 32; 0 for other levels);
// priority 0 only reads it.
int32_t ThreadPriority(int32_t thread, int32_t priority);
// Native handle of a running thread, nullptr if none (tests, debugger).
void* ThreadHandle(int32_t thread);

struct ThreadMutex {
  volatile long ticket;     // tickets drawn
  volatile long released;   // tickets served
  volatile unsigned long owner;  // thread identifier of the holder, 0 when free
  long count;               // recursion count of the holder
};

// Makes the mutex free and adds it to the list of existing mutexes.
void InitMutex(ThreadMutex* mutex);
void LockMutex(ThreadMutex* mutex);
void UnlockMutex(ThreadMutex* mutex);
int32_t TryLockMutex(ThreadMutex* mutex);
// Removes a mutex from the list of existing mutexes.
void FreeMutex(ThreadMutex* mutex);

// Library start and end (RuntimeStart / RuntimeEnd).
void StartThreadLibrary();
void EndThreadLibrary();

}  // namespace kx
