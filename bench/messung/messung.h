// What the file benchmarks measure with and on: the clock, the process's
// peak memory, a large file of varying bytes written with the system's own
// calls, and a byte-for-byte comparison.  Header only; each benchmark that
// includes it adds this folder to its include path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace messung {

// Seconds on the performance counter.
inline double Jetzt() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return double(t.QuadPart) / double(f.QuadPart);
}

// Peak private bytes (commit) and peak working set of the process so far,
// in KB.  The query is looked up at run time (it moved between kernel32 and
// psapi over the Windows versions).
struct Spitzen {
  size_t privat, arbeit;
};
inline Spitzen Spitze() {
  struct Speicher {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
  };
  using Abfrage = BOOL(WINAPI*)(HANDLE, Speicher*, DWORD);
  static Abfrage abfrage = reinterpret_cast<Abfrage>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  if (!abfrage) return {0, 0};
  Speicher s = {};
  s.cb = sizeof s;
  abfrage(GetCurrentProcess(), &s, sizeof s);
  return {s.PeakPagefileUsage / 1024, s.PeakWorkingSetSize / 1024};
}

// `megabytes` MB of varying bytes (that no compressor shrinks) and an odd
// tail, so that the last part of a split is not a whole one.
inline bool DateiSchreiben(const std::string& path, int megabytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<unsigned char> block(1 << 20);
  uint32_t x = 88172645u;
  bool ok = true;
  for (int m = 0; m < megabytes && ok; ++m) {
    for (auto& byte : block) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      byte = static_cast<unsigned char>(x);
    }
    DWORD written = 0;
    ok = WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written == block.size();
  }
  DWORD written = 0;
  ok = ok && WriteFile(h, block.data(), 12345, &written, nullptr) && written == 12345;
  CloseHandle(h);
  return ok;
}

// Whether two files hold the same bytes.
inline bool Gleich(const std::string& one, const std::string& two) {
  HANDLE a = CreateFileA(one.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE b = CreateFileA(two.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool same = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE;
  std::vector<char> x(1 << 20), y(1 << 20);
  while (same) {
    DWORD gx = 0, gy = 0;
    if (!ReadFile(a, x.data(), 1 << 20, &gx, nullptr) || !ReadFile(b, y.data(), 1 << 20, &gy, nullptr)) same = false;
    if (gx != gy || std::memcmp(x.data(), y.data(), gx) != 0) same = false;
    if (gx == 0) break;
  }
  if (a != INVALID_HANDLE_VALUE) CloseHandle(a);
  if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
  return same;
}

}  // namespace messung
