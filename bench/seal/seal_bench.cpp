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

#include "messung.h"
#include "runtime/files/seal.h"
#include "runtime/runtime.h"

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
    if (!messung::DateiSchreiben(klar, mb)) return 1;
    double t0 = messung::Jetzt();
    CopyFileA(klar.c_str(), kopie.c_str(), FALSE);
    double t1 = messung::Jetzt();
    int32_t s = kx::SealFile(klar.c_str(), versiegelt.c_str(), geheimnis, 10);
    double t2 = messung::Jetzt();
    int32_t o = kx::UnsealFile(versiegelt.c_str(), offen.c_str(), geheimnis, 10);
    double t3 = messung::Jetzt();
    bool gleich = s && o && messung::Gleich(klar, offen);
    std::printf("%8d %10.2f %10.2f %10.2f %14zu%s\n", mb, t1 - t0, t2 - t1, t3 - t2, messung::Spitze().privat,
                gleich ? "" : "  MISMATCH");
    if (!gleich) status = 1;
    for (const std::string* p : {&klar, &kopie, &versiegelt, &offen}) DeleteFileA(p->c_str());
  }
  RemoveDirectoryA(ordner.c_str());
  kx::RuntimeEnd();
  return status;
}
