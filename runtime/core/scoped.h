// Scoped holders for the runtime's locks and handles: the lock is left and the
// handle closed on every way out of the block that took them.
#pragma once

#include <windows.h>

namespace kx {

// Holds a critical section from construction to the end of the scope.
class ScopedLock {
 public:
  explicit ScopedLock(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~ScopedLock() { LeaveCriticalSection(lock_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

// Owns one handle and gives it back with its Release function (CloseHandle,
// FreeLibrary, DeleteObject, ...).  release() hands the handle on.
template <typename Handle, auto Release, Handle Empty = Handle{}>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Empty; }
  Handle release() {
    Handle handle = handle_;
    handle_ = Empty;
    return handle;
  }
  void reset(Handle handle = Empty) {
    if (handle_ != Empty) Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Empty;
};

inline void ReleaseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void ReleaseLibraryModule(HMODULE module) { FreeLibrary(module); }
inline void ReleaseGdiObject(HGDIOBJ object) { DeleteObject(object); }

using ScopedKernelHandle = ScopedHandle<HANDLE, ReleaseKernelHandle>;
using ScopedModule = ScopedHandle<HMODULE, ReleaseLibraryModule>;
using ScopedGdiObject = ScopedHandle<HGDIOBJ, ReleaseGdiObject>;

}  // namespace kx
