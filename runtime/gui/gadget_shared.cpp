// What all gadgets share across threads: the library lock, the brush cache
// it guards, and the theme state.
#include <windows.h>

#include "runtime/core/scoped.h"
#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

struct BrushEntry {
  COLORREF colour;
  HBRUSH brush;
  int32_t references;
};

CRITICAL_SECTION libraryLock;
bool lockReady = false;

BrushEntry* brushes = nullptr;
int32_t brushCount = 0;
int32_t brushCapacity = 0;

int32_t controlsVersion = 0;  // 0 = not computed yet
bool themed = false;

struct DllVersion {
  DWORD size, major, minor, build, platform;
};

void ComputeTheme() {
  if (controlsVersion) return;
  controlsVersion = 1;
  if (HMODULE controls = LoadLibraryA("COMCTL32.DLL")) {
    using GetVersion = HRESULT(WINAPI*)(DllVersion*);
    if (auto get = reinterpret_cast<GetVersion>(reinterpret_cast<void*>(GetProcAddress(controls, "DllGetVersion")))) {
      DllVersion v = {sizeof(DllVersion), 0, 0, 0, 0};
      if (SUCCEEDED(get(&v))) controlsVersion = static_cast<int32_t>(v.major << 16 | v.minor);
    }
  }
  bool appThemed = false;
  if (HMODULE theme = LoadLibraryA("uxtheme.dll")) {
    using IsThemed = BOOL(WINAPI*)();
    if (auto is = reinterpret_cast<IsThemed>(reinterpret_cast<void*>(GetProcAddress(theme, "IsAppThemed")))) appThemed = is() != FALSE;
  }
  themed = appThemed && controlsVersion > 0x5FFFF;
}

}  // namespace

CRITICAL_SECTION* GadgetLibraryLock() {
  if (!lockReady) {
    InitializeCriticalSection(&libraryLock);
    lockReady = true;
  }
  return &libraryLock;
}

HBRUSH TakeSharedBrush(COLORREF colour) {
  ScopedLock lock(GadgetLibraryLock());
  for (int32_t i = 0; i < brushCount; ++i) {
    if (brushes[i].colour == colour) {
      ++brushes[i].references;
      return brushes[i].brush;
    }
  }
  if (brushCount == brushCapacity) {
    const int32_t capacity = brushCapacity + 16;
    void* grown = brushes ? HeapReAlloc(GetProcessHeap(), 0, brushes, sizeof(BrushEntry) * capacity)
                          : HeapAlloc(GetProcessHeap(), 0, sizeof(BrushEntry) * capacity);
    if (!grown) return nullptr;
    brushes = static_cast<BrushEntry*>(grown);
    brushCapacity = capacity;
  }
  HBRUSH brush = CreateSolidBrush(colour);
  if (!brush) return nullptr;
  brushes[brushCount++] = {colour, brush, 1};
  return brush;
}

void ReleaseSharedBrush(HBRUSH brush) {
  if (!brush) return;
  ScopedLock lock(GadgetLibraryLock());
  for (int32_t i = 0; i < brushCount; ++i) {
    if (brushes[i].brush != brush) continue;
    if (--brushes[i].references <= 0) {
      DeleteObject(brush);
      brushes[i] = brushes[--brushCount];
    }
    return;
  }
}

int32_t SharedBrushCount() {
  ScopedLock lock(GadgetLibraryLock());
  return brushCount;
}

int32_t CommonControlsVersion() {
  ComputeTheme();
  return controlsVersion;
}

bool ThemesActive() {
  ComputeTheme();
  return themed;
}

}  // namespace kx
