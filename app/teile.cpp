// Cutting an archive into its numbered parts and joining received parts.
//
// Both move the data through one fixed buffer, so an archive of any size
// costs the same memory; the buffer is given back when the work is done.
#include <cmath>

#include "app/globals.h"
#include "app/layout.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"

namespace velmora {

namespace {

constexpr int32_t Archiv = 1;  // file numbers of the split
constexpr int32_t Teil = 2;
constexpr int32_t EmpfangenerTeil = 1;  // and of the join
constexpr int32_t Zusammengefuegt = 2;

int32_t Teilgroesse() { return PacketGrose > 0 ? PacketGrose : 1000000; }

}  // namespace

int64_t Teilanzahl(int64_t groesse) { return groesse / Teilgroesse() + 1; }

int32_t Archiv_Aufteilen() {
  kx::ThreadStringStart();
  // A second upload of the run starts from nothing: a ready flag left by the
  // first one must not let the upload begin on a failed split.
  Vorbereiten = 0;
  Aktuelle_Splitt_Datei = 0.0f;
  const int32_t groesse = Teilgroesse();
  void* puffer = kx::AllocateBlock(groesse);
  if (!puffer) return 0;

  // The whole 64-bit size: an archive beyond 2 GB must not lose its parts.
  const int64_t Size = kx::FileSize(Upload_Pack_Pfad);
  const int64_t anzahl = Teilanzahl(Size);
  Splitt_Dateien_Anzahl = anzahl;
  kx::MakeDirectory(Ordner.TempSplitOrdnerPfad);

  int32_t ergebnis = 0;
  if (kx::OpenFileForReading(Archiv, Upload_Pack_Pfad)) {
    ergebnis = 1;
    for (int64_t x = 1; x <= anzahl; ++x) {
      int32_t GeleseneBytes = kx::ReadFileBlock(Archiv, puffer, groesse);
      // Creating part x under number 2 closes part x - 1.
      if (!kx::NewFile(Teil, kx::Text() << Ordner.TempSplitOrdnerPfad << x << TeilEndung)) {
        ergebnis = 0;
        break;
      }
      int32_t geschrieben = kx::WriteFileBlock(Teil, puffer, GeleseneBytes);
      if (geschrieben != GeleseneBytes) {  // disk full: the part is short
        ergebnis = 0;
        break;
      }
      // An empty last part is written but not counted.
      if (geschrieben != 0) Aktuelle_Splitt_Datei = Aktuelle_Splitt_Datei + 1.0f;
    }
    // Only a complete set of parts lets the upload begin.
    if (ergebnis) Vorbereiten = 100;
    kx::CloseFile(Archiv);
    if (kx::IsFileObject(Teil)) kx::CloseFile(Teil);  // none when part 1 failed
  }
  kx::FreeBlock(puffer);
  return ergebnis;
}

int32_t Teile_Zusammenfuegen() {
  kx::ThreadStringStart();
  const int32_t groesse = Zusammen.PacketGrosse > 0 ? Zusammen.PacketGrosse : 2000000;
  void* Verarbeitet = kx::AllocateBlock(groesse);
  if (!Verarbeitet) return 0;

  if (!kx::NewFile(Zusammengefuegt, kx::Text() << Speicherort << ".zip")) {
    // Without the archive the received parts are all there is: keep them.
    kx::FreeBlock(Verarbeitet);
    return 0;
  }

  const int64_t anzahl = std::lround(Aktuelle_Download_Datei.load());
  bool vollstaendig = true;
  for (int64_t u = 1; u <= anzahl; ++u) {
    if (!kx::OpenFileForReading(EmpfangenerTeil, kx::Text() << Ordner.TempEmpfangOrdnerPfad << "\\" << u
                                                             << TeilEndung))
      continue;
    // Read to the part's end: a part larger than the buffer is copied whole.
    int32_t GeleseneBytes;
    while ((GeleseneBytes = kx::ReadFileBlock(EmpfangenerTeil, Verarbeitet, groesse)) > 0) {
      if (kx::WriteFileBlock(Zusammengefuegt, Verarbeitet, GeleseneBytes) != GeleseneBytes) {
        vollstaendig = false;  // disk full
        break;
      }
    }
    // Closed at once, so that removing the parts below can delete every one.
    kx::CloseFile(EmpfangenerTeil);
    if (!vollstaendig) break;
  }
  kx::CloseFile(Zusammengefuegt);
  kx::FreeBlock(Verarbeitet);
  // A short archive keeps the parts it was made from.
  if (!vollstaendig) return 0;

  kx::DeleteDirectory(Ordner.TempEmpfangOrdnerPfad, "*.*", 0);
  kx::RemoveFile(kx::Text() << Tempdir << "txt.txt");
  return 1;
}

}  // namespace velmora
