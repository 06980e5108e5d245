// Where a private transfer leaves the plain road: the archive sealed before
// it is split, the code shown and the code typed, the joined file opened
// before it is unpacked.  A plain transfer passes every hook unchanged.
#include <windows.h>

#include "app/debugger.h"
#include "app/download.h"
#include "app/globals.h"
#include "app/privat.h"
#include "runtime/core/kxstring.h"
#include "runtime/files/directory.h"
#include "runtime/files/seal.h"

namespace velmora {

int32_t Privat_Versiegeln() {
  PROZEDUR(Privat_Versiegeln);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ kx::Assign(Geheimnis, nullptr);
  Z_ if (!Privat_Senden) return 1;
  Z_ kx::Assign(Geheimnis, Geheimnis_Ziehen(kx::Here));
  Z_ uint8_t schluessel[GeheimnisBytes];
  Z_ if (!Geheimnis_Bytes_Lesen(Geheimnis, schluessel)) return 0;
  // The sealed archive takes the plain one's place: the split, the sizes
  // and the clean-up go on with the same path, and the plain archive does
  // not stay on disk.
  Z_ kx::Text versiegelt;
  Z_ versiegelt << Tempdir << "Velmora.versiegelt";
  Z_ int32_t ergebnis = kx::SealFile(Upload_Pack_Pfad, versiegelt, schluessel, GeheimnisBytes);
  Z_ SecureZeroMemory(schluessel, sizeof schluessel);
  Z_ if (!ergebnis) return 0;
  Z_ if (!MoveFileExA(versiegelt, Upload_Pack_Pfad, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    Z_ kx::RemoveFile(versiegelt);
    Z_ return 0;
  }
  Z_ return 1;
}

char* Angezeigter_Code(int32_t mark) {
  PROZEDUR(Angezeigter_Code, mark);
  Z_ if (kx::StringLength(Geheimnis) > 0) return Privatcode(OrdnerZahl.load(), Geheimnis, mark);
  Z_ return kx::QuadToString(OrdnerZahl.load(), mark);
}

void Privat_Code_Uebernehmen(const char* code) {
  PROZEDUR(Privat_Code_Uebernehmen, code);
  Z_ kx::StringScope scope;
  Z_ int64_t ordner = 0;
  Z_ if (Privatcode_Lesen(code, &ordner, &Empfangsgeheimnis)) {
    Z_ kx::Assign(Adresse, kx::QuadToString(ordner, kx::Here));
  } else {
    Z_ kx::Assign(Empfangsgeheimnis, nullptr);
    Z_ kx::Assign(Adresse, code);
  }
}

int32_t Privat_Entsiegeln() {
  PROZEDUR(Privat_Entsiegeln);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ kx::Text archiv;
  Z_ archiv << Speicherort << ".zip";
  Z_ const bool privat = kx::StringLength(Empfangsgeheimnis) > 0;
  // A sealed transfer fetched with its number only can't be opened.
  Z_ if (!privat && !kx::IsSealedFile(archiv)) return 1;
  Z_ kx::RemoveFile(kx::Text() << Tempdir << "Test.quon");  // the probe: sealed bytes
  Z_ uint8_t schluessel[GeheimnisBytes];
  Z_ int32_t ergebnis = 0;
  Z_ if (privat && Geheimnis_Bytes_Lesen(Empfangsgeheimnis, schluessel)) {
    Z_ kx::Text versiegelt;
    Z_ versiegelt << Speicherort << ".versiegelt";
    Z_ if (MoveFileExA(archiv, versiegelt, MOVEFILE_REPLACE_EXISTING)) {
      // The archive is written only as far as its chunks are genuine, and
      // removed as a whole when one is not.
      Z_ ergebnis = kx::UnsealFile(versiegelt, archiv, schluessel, GeheimnisBytes);
      Z_ kx::RemoveFile(versiegelt);
    }
    Z_ SecureZeroMemory(schluessel, sizeof schluessel);
  }
  Z_ if (!ergebnis) Download_Misslungen(Download_Beschaedigt, "", true);
  Z_ return ergebnis;
}

}  // namespace velmora
