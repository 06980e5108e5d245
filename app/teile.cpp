// Cutting an archive into its numbered parts and joining received parts.
//
// Both move the data through one fixed buffer, so an archive of any size
// costs the same memory; the buffer is given back when the work is done.
#include <cmath>

#include "app/debugger.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
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

int64_t Teilanzahl(int64_t groesse) {
  PROZEDUR(Teilanzahl, groesse);
  Z_ return groesse / Teilgroesse() + 1;
}

int32_t Archiv_Aufteilen() {
  PROZEDUR(Archiv_Aufteilen);
  Z_ kx::ThreadStringStart();
  // A second upload of the run starts from nothing: a ready flag left by the
  // first one must not let the upload begin on a failed split.
  Z_ Vorbereiten = 0;
  Z_ Aktuelle_Splitt_Datei = 0.0f;
  Z_ const int32_t groesse = Teilgroesse();
  Z_ void* puffer = kx::AllocateBlock(groesse);
  Z_ if (!puffer) return 0;

  // The whole 64-bit size: an archive beyond 2 GB must not lose its parts.
  Z_ const int64_t Size = kx::FileSize(Upload_Pack_Pfad);
  Z_ const int64_t anzahl = Teilanzahl(Size);
  Z_ Splitt_Dateien_Anzahl = anzahl;
  Z_ kx::MakeDirectory(Ordner.TempSplitOrdnerPfad);

  Z_ int32_t ergebnis = 0;
  Z_ if (kx::OpenFileForReading(Archiv, Upload_Pack_Pfad)) {
    Z_ ergebnis = 1;
    Z_ for (int64_t x = 1; x <= anzahl; ++x) {
      // A cancelled upload or the program's end stops the cutting.
      Z_ if (kx::ThreadStopRequested()) {
        Z_ ergebnis = 0;
        Z_ break;
      }
      Z_ int32_t GeleseneBytes = kx::ReadFileBlock(Archiv, puffer, groesse);
      // Creating part x under number 2 closes part x - 1.
      Z_ if (!kx::NewFile(Teil, kx::Text() << Ordner.TempSplitOrdnerPfad << x << TeilEndung)) {
        Z_ ergebnis = 0;
        Z_ break;
      }
      Z_ int32_t geschrieben = kx::WriteFileBlock(Teil, puffer, GeleseneBytes);
      Z_ if (geschrieben != GeleseneBytes) {  // disk full: the part is short
        Z_ ergebnis = 0;
        Z_ break;
      }
      // An empty last part is written but not counted.
      Z_ if (geschrieben != 0) Aktuelle_Splitt_Datei = Aktuelle_Splitt_Datei + 1.0f;
    }
    // Only a complete set of parts lets the upload begin.
    Z_ if (ergebnis) Vorbereiten = Vorbereiten_Fertig;
    Z_ kx::CloseFile(Archiv);
    Z_ if (kx::IsFileObject(Teil)) kx::CloseFile(Teil);  // none when part 1 failed
  }
  Z_ kx::FreeBlock(puffer);
  Z_ return ergebnis;
}

int32_t Teile_Zusammenfuegen() {
  PROZEDUR(Teile_Zusammenfuegen);
  Z_ kx::ThreadStringStart();
  Z_ const int32_t groesse = Zusammen.PacketGrosse > 0 ? Zusammen.PacketGrosse : 2000000;
  Z_ void* Verarbeitet = kx::AllocateBlock(groesse);
  Z_ if (!Verarbeitet) return 0;

  Z_ if (!kx::NewFile(Zusammengefuegt, kx::Text() << Speicherort << ".zip")) {
    // Without the archive the received parts are all there is: keep them.
    Z_ kx::FreeBlock(Verarbeitet);
    Z_ return 0;
  }

  Z_ const int64_t anzahl = std::lround(Aktuelle_Download_Datei.load());
  Z_ bool vollstaendig = true;
  Z_ for (int64_t u = 1; u <= anzahl; ++u) {
    Z_ if (!kx::OpenFileForReading(EmpfangenerTeil, kx::Text() << Ordner.TempEmpfangOrdnerPfad << "\\" << u
                                                             << TeilEndung))
      continue;
    // Read to the part's end: a part larger than the buffer is copied whole.
    Z_ int32_t GeleseneBytes;
    Z_ while ((GeleseneBytes = kx::ReadFileBlock(EmpfangenerTeil, Verarbeitet, groesse)) > 0) {
      Z_ if (kx::WriteFileBlock(Zusammengefuegt, Verarbeitet, GeleseneBytes) != GeleseneBytes) {
        Z_ vollstaendig = false;  // disk full
        Z_ break;
      }
    }
    // Closed at once, so that removing the parts below can delete every one.
    Z_ kx::CloseFile(EmpfangenerTeil);
    Z_ if (!vollstaendig) break;
  }
  Z_ kx::CloseFile(Zusammengefuegt);
  Z_ kx::FreeBlock(Verarbeitet);
  // A short archive keeps the parts it was made from.
  Z_ if (!vollstaendig) return 0;

  Z_ kx::DeleteDirectory(Ordner.TempEmpfangOrdnerPfad, "*.*", 0);
  Z_ kx::RemoveFile(kx::Text() << Tempdir << "txt.txt");
  Z_ return 1;
}

}  // namespace velmora
