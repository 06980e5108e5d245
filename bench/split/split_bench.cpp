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
#include "messung.h"
#include "runtime/runtime.h"
#include "tests/support/temp_folder.h"

using namespace velmora;

namespace {

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
    if (!messung::DateiSchreiben(MyZIP, megabytes)) {
      std::printf("cannot write %s\n", MyZIP);
      return 2;
    }
    kx::AssignString(&Upload_Pack_Pfad, MyZIP);
    messung::Spitzen vorher = messung::Spitze();

    double t0 = messung::Jetzt();
    int32_t geteilt = Archiv_Aufteilen();
    double t1 = messung::Jetzt();
    int64_t teile = Uebergeben();
    Aktuelle_Download_Datei = static_cast<float>(teile);
    std::string ziel = tempdir + "Ergebnis";
    kx::AssignString(&Speicherort, ziel.c_str());
    double t2 = messung::Jetzt();
    int32_t gefuegt = Teile_Zusammenfuegen();
    double t3 = messung::Jetzt();
    messung::Spitzen nachher = messung::Spitze();

    bool same = geteilt == 1 && gefuegt == 1 && messung::Gleich(MyZIP, ziel + ".zip");
    std::printf("%8d %7lld %8.2f %8.2f %14u %14u %14u %14u %s\n", megabytes, static_cast<long long>(teile),
                t1 - t0, t3 - t2, static_cast<unsigned>(vorher.privat),
                static_cast<unsigned>(nachher.privat), static_cast<unsigned>(vorher.arbeit),
                static_cast<unsigned>(nachher.arbeit), same ? "same bytes" : "DIFFERENT");
    if (!same) ++failures;
    kxtest::RemoveTree(tempdir);
  }
  kx::RuntimeEnd();
  return failures ? 1 : 0;
}
