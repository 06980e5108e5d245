// Finishing a download: the parts received are checked against the count
// file and joined into Speicherort + ".zip" (app/teile.cpp), which is then
// unpacked into the folder Speicherort.  Success is reported only for a full
// set of parts that unpacks without a damaged entry.
#include <cmath>

#include "app/debugger.h"
#include "app/download.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/privat.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/files/pack.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"

namespace velmora {

void Download_Misslungen(const char* meldung) {
  PROZEDUR(Download_Misslungen, meldung);
  Z_ kx::StringScope scope;
  Z_ kx::DeleteDirectory(Ordner.TempEmpfangOrdnerPfad, "*.*", 1);
  Z_ kx::RemoveFile(kx::Text() << Speicherort << ".zip");
  Z_ kx::DisableGadget(Button_0, 0);
  Z_ kx::MessageRequester("Fehler", meldung, 0);
}

int32_t Zusammenfuegen(int32_t wert) {
  PROZEDUR(Zusammenfuegen, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  // The updater reads the count file; it ends with the fetch.
  Z_ while (kx::ThreadRunning(Download_Thread) || kx::ThreadRunning(v_Aktualisierer_Download)) Delay(100);
  // The fetch ended without fetching: the code was not valid (it said so).
  Z_ if (v_Download != 2) return 0;
  Z_ kx::Text anzahl;
  Z_ anzahl << Anzahldatei_Lesen(kx::Here);
  Z_ if (anzahl.length() == 0 || kx::ValueOfString(anzahl) != std::llround(Aktuelle_Download_Datei.load())) {
    Z_ Download_Misslungen(Download_Unvollstaendig);
    Z_ return 0;
  }
  Z_ if (!Teile_Zusammenfuegen()) {
    Z_ Download_Misslungen(Download_Unvollstaendig);
    Z_ return 0;
  }
  Z_ if (!Privat_Entsiegeln()) return 0;  // a private download: every tag checked before unpacking
  Z_ Unpack_Datei_Thread = kx::StartThread(Unpack_Datei, 492);
  Z_ return 0;
}

int32_t Unpack_Datei(int32_t wert) {
  PROZEDUR(Unpack_Datei, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ while (kx::ThreadRunning(Zusammenfuegen_Thread)) Delay(100);
  Z_ kx::SetGadgetState(ProgressBar_5, 2);
  Z_ kx::Text archiv;
  Z_ archiv << Speicherort << ".zip";
  Z_ int32_t eintraege = kx::packer::ArchiveEntryCount(archiv);
  Z_ int32_t entpackt = kx::UnpackArchive(archiv, "*.*", Speicherort, 0);
  Z_ kx::SetGadgetState(ProgressBar_5, 80);
  Z_ kx::RemoveFile(kx::Text() << Tempdir << "txt.txt");
  Z_ kx::RemoveFile(archiv);
  Z_ if (eintraege < 0 || entpackt != eintraege) {
    Z_ Download_Misslungen(Download_Beschaedigt);
    Z_ return 0;
  }
  Z_ kx::SetGadgetState(ProgressBar_5, 100);
  Z_ kx::DisableGadget(Button_0, 0);
  Z_ kx::MessageRequester("Download abgeschlossen", "Der Download wurde erfolgreich abgeschlossen!!!", 0);
  Z_ return 0;
}

}  // namespace velmora
