// Sealing and opening a large archive, beside a plain copy of the same file:
// the time a private upload adds before its split (and a private download
// after its join), and the process's peak private memory, which must not
// grow with the size (both directions stream through two chunk buffers).
//
//   seal_bench.exe [megabytes ...]      default: 100 400
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/files/seal.h"
#include "runtime/runtime.h"

namespace {

struct Speicher {
  DWORD cb;
  DWORD PageFaultCount;
  SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
      QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

// Peak private bytes (commit) of the process so far, in KB.
size_t Spitze() {
  using Abfrage = BOOL(WINAPI*)(HANDLE, Speicher*, DWORD);
  static Abfrage abfrage = reinterpret_cast<Abfrage>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  if (!abfrage) return 0;
  Speicher s = {};
  s.cb = sizeof s;
  abfrage(GetCurrentProcess(), &s, sizeof s);
  return s.PeakPagefileUsage / 1024;
}

double Jetzt() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return double(t.QuadPart) / double(f.QuadPart);
}

bool Schreiben(const std::string& path, int megabytes) {
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
    WriteFile(h, block.data(), DWORD(block.size()), &written, nullptr);
  }
  DWORD written = 0;
  WriteFile(h, block.data(), 12345, &written, nullptr);
  CloseHandle(h);
  return true;
}

bool Gleich(const std::string& a, const std::string& b) {
  HANDLE ha = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE hb = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool gleich = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE;
  std::vector<char> pa(1 << 20), pb(1 << 20);
  while (gleich) {
    DWORD na = 0, nb = 0;
    ReadFile(ha, pa.data(), DWORD(pa.size()), &na, nullptr);
    ReadFile(hb, pb.data(), DWORD(pb.size()), &nb, nullptr);
    if (na != nb || std::memcmp(pa.data(), pb.data(), na) != 0) gleich = false;
    if (na == 0) break;
  }
  if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  return gleich;
}

}  // namespace

int main(int argc, char** argv) {
  kx::RuntimeStart();
  std::vector<int> groessen;
  for (int i = 1; i < argc; ++i) groessen.push_back(std::atoi(argv[i]));
  if (groessen.empty()) groessen = {100, 400};
  char temp[MAX_PATH + 1];
  GetTempPathA(MAX_PATH, temp);
  const std::string ordner = std::string(temp) + "velmora_seal_bench_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(ordner.c_str(), nullptr);
  const std::string klar = ordner + "\\klar.zip", kopie = ordner + "\\kopie.zip", versiegelt = ordner + "\\v.bin",
                    offen = ordner + "\\offen.zip";
  const unsigned char geheimnis[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  std::printf("%8s %10s %10s %10s %14s\n", "MB", "copy s", "seal s", "open s", "peak priv KB");
  int status = 0;
  for (int mb : groessen) {
    if (!Schreiben(klar, mb)) return 1;
    double t0 = Jetzt();
    CopyFileA(klar.c_str(), kopie.c_str(), FALSE);
    double t1 = Jetzt();
    int32_t s = kx::SealFile(klar.c_str(), versiegelt.c_str(), geheimnis, 10);
    double t2 = Jetzt();
    int32_t o = kx::UnsealFile(versiegelt.c_str(), offen.c_str(), geheimnis, 10);
    double t3 = Jetzt();
    bool gleich = s && o && Gleich(klar, offen);
    std::printf("%8d %10.2f %10.2f %10.2f %14zu%s\n", mb, t1 - t0, t2 - t1, t3 - t2, Spitze(),
                gleich ? "" : "  MISMATCH");
    if (!gleich) status = 1;
    for (const std::string* p : {&klar, &kopie, &versiegelt, &offen}) DeleteFileA(p->c_str());
  }
  RemoveDirectoryA(ordner.c_str());
  kx::RuntimeEnd();
  return status;
}
