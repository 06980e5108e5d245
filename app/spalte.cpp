// The "Name" and size columns of the send list: the chosen file's or folder's
// size, or the archive's once one is set.
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/globals.h"
#include "runtime/core/kxstring.h"
#include "runtime/files/directory.h"

namespace velmora {

int32_t Rechner_Hauptfenster_Spalte(int32_t wert) {
  PROZEDUR(Rechner_Hauptfenster_Spalte, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  // Each calculation counts from nothing: a folder's total must not be added
  // to the value an earlier one left.
  Z_ Datei_Size = 0;
  Z_ if (kx::StringLength(Upload_Ordner_Pfad) > 0) {
    Z_ kx::Assign(Spalte_Name, Upload_Ordner_Pfad);
    Z_ ListFiles(Upload_Ordner_Pfad, "*", "*", 0, kx::Here);
  }
  Z_ if (kx::StringLength(Upload_Datei_Pfad) > 0) {
    Z_ kx::Assign(Spalte_Name, kx::GetFilePart(Upload_Datei_Pfad, kx::Here));
    Z_ Datei_Size = int32_t(kx::FileSize(Upload_Datei_Pfad));
  }
  Z_ if (kx::StringLength(Upload_Pack_Pfad) > 0) {
    Z_ Datei_Size = int32_t(kx::FileSize(Upload_Pack_Pfad));
  }
  // Up to six digits (a minus sign counts) in KB, else in MB.
  Z_ if (kx::StringLength(kx::QuadToString(Datei_Size, kx::Here)) <= 6) {
    Z_ kx::Assign(Spalte_Datei_Size, kx::Text() << Datei_Size / 1024 << " KB");
  } else {
    Z_ kx::Assign(Spalte_Datei_Size, kx::Text() << Datei_Size / 1024 / 1024 << " MB");
    Z_ Datei_Size = 0;
  }
  Z_ return 0;
}

char* ListFiles(const char* directory, const char* filename, const char* extension, int32_t directoryid,
                int32_t mark) {
  PROZEDUR(ListFiles, directory, filename, extension, directoryid, mark);
  // The arguments may lie in the moving string buffer: keep copies.
  Z_ char* verzeichnis = nullptr;
  Z_ char* name = nullptr;
  Z_ char* endung = nullptr;
  Z_ kx::InitString(&name, filename);
  Z_ kx::InitString(&endung, extension);
  Z_ kx::InitString(&verzeichnis, directory);
  Z_ if (!kx::Equal(kx::RightString(verzeichnis, 1, kx::Here), "\\")) {
    Z_ kx::Assign(verzeichnis, kx::Text() << verzeichnis << "\\");
  }
  Z_ if (kx::ExamineDirectory(directoryid, verzeichnis, "*.*")) {
    Z_ while (kx::NextDirectoryEntry(directoryid)) {
      Z_ kx::StringScope scope;
      Z_ char* eintrag = nullptr;
      Z_ kx::InitString(&eintrag, kx::DirectoryEntryName(directoryid, kx::Here));
      Z_ if (kx::DirectoryEntryType(directoryid) == kx::EntryFile) {
        Z_ kx::Text dateiendung;
        Z_ dateiendung << kx::LowerCaseString(kx::GetExtensionPart(eintrag, kx::Here), kx::Here);
        Z_ int32_t ohne = kx::StringLength(eintrag) - dateiendung.length() - (dateiendung.length() > 0 ? 1 : 0);
        Z_ kx::Text dateiname;
        Z_ dateiname << kx::LowerCaseString(kx::LeftString(eintrag, ohne, kx::Here), kx::Here);
        Z_ if ((kx::Equal(dateiname, name) || kx::Equal(name, "*")) &&
               (kx::Equal(dateiendung, endung) || kx::Equal(endung, "*"))) {
          Z_ Datei_Size += int32_t(kx::FileSize(kx::Text() << verzeichnis << eintrag));
        }
      } else if (kx::DirectoryEntryType(directoryid) == kx::EntryDirectory) {
        Z_ if (!kx::Equal(eintrag, ".") && !kx::Equal(eintrag, "..")) {
          Z_ kx::Text unterordner;
          Z_ unterordner << verzeichnis << eintrag << "\\";
          Z_ ListFiles(unterordner, name, endung, directoryid + 1, kx::Here);
        }
      }
      Z_ kx::FreeString(eintrag);
    }
  }
  Z_ kx::FreeString(verzeichnis);
  Z_ kx::FreeString(name);
  Z_ kx::FreeString(endung);
  Z_ return kx::ReturnString("", 0, mark);
}

}  // namespace velmora
