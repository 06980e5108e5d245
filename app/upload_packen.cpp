// Packing an upload: the chosen file or the files of the chosen folder go
// into one archive (MyZIP); the packer's callback fills the first half of the
// preparation bar.  When packing is done the splitter takes over.
#include <cmath>
#include <string>

#include "app/debugger.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/objects.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/files/pack.h"
#include "runtime/gui/gadget.h"

namespace velmora {

namespace {
constexpr int32_t GanzerPfad = 1;    // entry named by the whole source path
constexpr int32_t NurDateiname = 0;  // entry named by its file name
constexpr int32_t NurDieserOrdner = 0;
constexpr intptr_t Zaehlordner = 0;  // directory object of Dateienzahl
}  // namespace

int32_t Pack_Datei(int32_t wert) {
  PROZEDUR(Pack_Datei, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ kx::SetGadgetState(ProgressBar_Vorbereiten, 1);
  Z_ kx::Assign(Upload_Pack_Pfad, MyZIP);
  Z_ kx::RemoveFile(kx::Text() << Tempdir << "Velmora.zip");
  Z_ int32_t gepackt = kx::PackFile(MyZIP, Upload_Datei_Pfad, GanzerPfad);
  // A cancelled upload ends here, without a word and without its parts.
  Z_ if (Angehalten()) return 0;
  // An empty file is stored without data, which the packer does not count
  // as stored: the archive with its entry is all there is to check.
  Z_ bool leer = gepackt == 0 && kx::FileSize(Upload_Datei_Pfad) == 0 && kx::FileSize(MyZIP) > 0;
  Z_ if (gepackt != 1 && !leer) {
    Z_ return Vorbereitung_Misslungen("Die Datei konnte nicht gepackt werden.", Upload_Datei_Pfad);
  }
  Z_ VorbereitenThread = kx::StartThread(DateiVorbereiten, 44);
  Z_ return 0;
}

int32_t Pack_Ordner(int32_t wert) {
  PROZEDUR(Pack_Ordner, wert);
  Z_ kx::ThreadStringStart();
  // An archive left by an earlier upload of this run would be extended, and
  // its files sent along: start from none.
  Z_ kx::RemoveFile(kx::Text() << Tempdir << "Velmora.zip");
  Z_ int32_t gepackt = kx::PackFolder(MyZIP, kx::Text() << Upload_Ordner_Pfad << "*.*", NurDateiname, NurDieserOrdner);
  Z_ if (Angehalten()) return 0;
  // Every file of the folder that has bytes must be in the archive: one the
  // packer could not read (locked, gone meanwhile) is a failure, not a
  // transfer that silently lacks it.
  Z_ int32_t erwartet = Dateien_Mit_Inhalt(kx::Text() << Upload_Ordner_Pfad << "*.*");
  Z_ if (erwartet < 0 || gepackt < erwartet || kx::FileSize(MyZIP) < 0) {
    Z_ return Vorbereitung_Misslungen("Der Ordner konnte nicht gepackt werden.", Upload_Ordner_Pfad);
  }
  Z_ kx::SetGadgetState(ProgressBar_Vorbereiten, 1);
  Z_ kx::Assign(Upload_Pack_Pfad, MyZIP);
  Z_ VorbereitenThread = kx::StartThread(DateiVorbereiten, 44);
  Z_ return 0;
}

int32_t Dateien_Mit_Inhalt(const char* muster) {
  PROZEDUR(Dateien_Mit_Inhalt, muster);
  Z_ kx::StringScope scope;
  // Folder and pattern split as the packer splits them; kept outside the
  // string buffer, which may move while the listing is read.
  Z_ const std::string ordner = kx::GetPathPart(muster, kx::Here);
  Z_ const std::string teil = kx::GetFilePart(muster, kx::Here);
  Z_ intptr_t liste = kx::ExamineDirectory(kx::DynamicNumber, ordner.c_str(), teil.c_str());
  Z_ if (!liste) return -1;
  Z_ int32_t anzahl = 0;
  Z_ while (kx::NextDirectoryEntry(liste)) {
    Z_ if (kx::DirectoryEntryType(liste) != kx::EntryFile) continue;
    Z_ kx::Text pfad;
    Z_ pfad << ordner.c_str() << kx::DirectoryEntryName(liste, kx::Here);
    Z_ if (kx::FileSize(pfad) > 0) ++anzahl;
  }
  Z_ kx::FinishDirectory(liste);
  Z_ return anzahl;
}

int32_t Dateienzahl(const char* ordner) {
  PROZEDUR(Dateienzahl, ordner);
  Z_ int32_t anzahl = 0;
  Z_ if (kx::ExamineDirectory(Zaehlordner, ordner, "*.*")) {
    Z_ while (kx::NextDirectoryEntry(Zaehlordner)) {
      Z_ if (kx::DirectoryEntryType(Zaehlordner) == kx::EntryFile) ++anzahl;
    }
  }
  Z_ return anzahl;
}

void PackCallback(const char* datei, float fortschritt) {
  PROZEDUR(PackCallback, datei, fortschritt);
  Z_ kx::StringScope scope;
  Z_ int32_t Prozent = 0;
  Z_ if (kx::StringLength(Upload_Ordner_Pfad) > 0) {
    Z_ int32_t Anzahl = Dateienzahl(Upload_Ordner_Pfad);
    Z_ if (!kx::Equal(datei, Gespeicherte_Pack_Datei) && kx::StringLength(datei) > 0) {
      Z_ Aktuelle_Ornder_Pack_Datei = Aktuelle_Ornder_Pack_Datei + 1;
      Z_ kx::Assign(Gespeicherte_Pack_Datei, datei);
    }
    // A folder without files shows no progress (0%) instead of a division
    // by zero.
    Z_ if (Anzahl > 0) {
      Z_ float teil = 100.0f / float(Anzahl);
      Z_ Prozent = int32_t(std::lround(teil * float(Aktuelle_Ornder_Pack_Datei) + (fortschritt / 100.0f) * teil));
    }
  } else {
    Z_ Prozent = int32_t(std::lround(fortschritt));
  }
  Z_ float Fortschritt_Pack_Prozent = float(Prozent) / 2.0f;
  Z_ kx::SetGadgetState(ProgressBar_Vorbereiten, int32_t(std::lround(Fortschritt_Pack_Prozent)));
  Z_ kx::SetGadgetText(Text_11, kx::Text() << kx::FloatToString(Fortschritt_Pack_Prozent, 0, kx::Here) << "%");
}

}  // namespace velmora
