// Split and join of a large archive: time, and the process's peak private
// memory, which must not grow with the archive's size (both work through one
// fixed buffer).
//
//   split_bench.exe [megabytes ...]      default: 50 400
//
// Each size runs in a fresh folder below the temporary folder; the joined
// archive is compared with the original byte for byte.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/layout.h"
#include "runtime/core/strings.h"
#include "runtime/runtime.h"
#include "tests/support/temp_folder.h"

using namespace velmora;

namespace {

struct Speicher {
  DWORD cb;
  DWORD PageFaultCount;
  SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
      QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

// Peak private bytes (commit) and peak working set of the process so far, in KB.
struct Spitzen {
  size_t privat, arbeit;
};
Spitzen Spitze() {
  using Abfrage = BOOL(WINAPI*)(HANDLE, Speicher*, DWORD);
  static Abfrage abfrage = reinterpret_cast<Abfrage>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  if (!abfrage) return {0, 0};
  Speicher s = {};
  s.cb = sizeof s;
  abfrage(GetCurrentProcess(), &s, sizeof s);
  return {s.PeakPagefileUsage / 1024, s.PeakWorkingSetSize / 1024};
}

double Sekunden(LARGE_INTEGER von, LARGE_INTEGER bis) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return double(bis.QuadPart - von.QuadPart) / double(f.QuadPart);
}

LARGE_INTEGER Jetzt() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

// Writes `megabytes` MB of varying bytes with the system's own calls.
bool ArchivSchreiben(const std::string& path, int megabytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<unsigned char> block(1 << 20);
  uint32_t x = 88172645u;
  for (int m = 0; m < megabytes; ++m) {
    for (auto& byte : block) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      byte = static_cast<unsigned char>(x);
    }
    DWORD written = 0;
    WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
  }
  // An odd tail, so that the last part is not a whole one.
  DWORD written = 0;
  WriteFile(h, block.data(), 12345, &written, nullptr);
  CloseHandle(h);
  return true;
}

bool Gleich(const std::string& one, const std::string& two) {
  HANDLE a = CreateFileA(one.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE b = CreateFileA(two.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool same = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE;
  std::vector<char> x(1 << 20), y(1 << 20);
  while (same) {
    DWORD gx = 0, gy = 0;
    ReadFile(a, x.data(), 1 << 20, &gx, nullptr);
    ReadFile(b, y.data(), 1 << 20, &gy, nullptr);
    if (gx != gy || memcmp(x.data(), y.data(), gx) != 0) same = false;
    if (gx == 0) break;
  }
  if (a != INVALID_HANDLE_VALUE) CloseHandle(a);
  if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
  return same;
}

// Moves the sender's parts to where the receiver's fetch leaves them.
int64_t Uebergeben() {
  std::string empf = Ordner.TempEmpfangOrdnerPfad;
  CreateDirectoryA(empf.c_str(), nullptr);
  int64_t n = Splitt_Dateien_Anzahl;
  for (int64_t k = 1; k <= n; ++k) {
    std::string name = std::to_string(k) + ".quon";
    MoveFileA((std::string(Ordner.TempSplitOrdnerPfad) + name).c_str(), (empf + "\\" + name).c_str());
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  kx::RuntimeStart();
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {50, 400};

  int failures = 0;
  // Peaks in KB before and after the split and join: private bytes, working set.
  std::printf("%8s %7s %8s %8s %14s %14s %14s %14s\n", "MB", "parts", "split s", "join s", "private before",
              "private after", "working before", "working after");
  for (int megabytes : sizes) {
    Startwerte();
    std::string tempdir = Tempdir;
    if (!ArchivSchreiben(MyZIP, megabytes)) {
      std::printf("cannot write %s\n", MyZIP);
      return 2;
    }
    kx::AssignString(&Upload_Pack_Pfad, MyZIP);
    Spitzen vorher = Spitze();

    LARGE_INTEGER t0 = Jetzt();
    int32_t geteilt = Archiv_Aufteilen();
    LARGE_INTEGER t1 = Jetzt();
    int64_t teile = Uebergeben();
    Aktuelle_Download_Datei = static_cast<float>(teile);
    std::string ziel = tempdir + "Ergebnis";
    kx::AssignString(&Speicherort, ziel.c_str());
    LARGE_INTEGER t2 = Jetzt();
    int32_t gefuegt = Teile_Zusammenfuegen();
    LARGE_INTEGER t3 = Jetzt();
    Spitzen nachher = Spitze();

    bool same = geteilt == 1 && gefuegt == 1 && Gleich(MyZIP, ziel + ".zip");
    std::printf("%8d %7lld %8.2f %8.2f %14u %14u %14u %14u %s\n", megabytes, static_cast<long long>(teile),
                Sekunden(t0, t1), Sekunden(t2, t3), static_cast<unsigned>(vorher.privat),
                static_cast<unsigned>(nachher.privat), static_cast<unsigned>(vorher.arbeit),
                static_cast<unsigned>(nachher.arbeit), same ? "same bytes" : "DIFFERENT");
    if (!same) ++failures;
    kxtest::RemoveTree(tempdir);
  }
  kx::RuntimeEnd();
  return failures ? 1 : 0;
}
