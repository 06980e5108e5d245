// Finishing a download: the parts received are checked against the count
// file and joined into Speicherort + ".zip" (app/teile.cpp), which is then
// unpacked into the folder Speicherort.  Success is reported only for a full
// set of parts that unpacks without a damaged entry.  The finishing bar (21)
// and its text (41) always show the same share.
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

namespace {

void Fertig_Zeigen(int32_t prozent) {
  kx::StringScope scope;
  kx::SetGadgetState(ProgressBar_5, prozent);
  kx::SetGadgetText(Text_31, kx::Text() << prozent << "%");
}

}  // namespace

void Download_Misslungen(const char* meldung, const char* ursache, bool teileLoeschen) {
  PROZEDUR(Download_Misslungen, meldung, ursache, teileLoeschen);
  Z_ kx::StringScope scope;
  // Complete parts stay for the next download of this code into this place.
  Z_ if (teileLoeschen) kx::DeleteDirectory(Ordner.TempEmpfangOrdnerPfad, "*.*", 1);
  Z_ kx::RemoveFile(kx::Text() << Speicherort << ".zip");
  Z_ kx::DisableGadget(Button_0, 0);
  Z_ Fehler_Melden(meldung, ursache);
}

int32_t Zusammenfuegen(int32_t wert) {
  PROZEDUR(Zusammenfuegen, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  // The updater reads the count file; it ends with the fetch.
  Z_ while (kx::ThreadRunning(Download_Thread) || kx::ThreadRunning(v_Aktualisierer_Download)) Delay(100);
  // The fetch ended without fetching: the code was not valid (it said so).
  Z_ if (v_Download != 2) return 0;
  // The program ends (or the download was stopped): the parts stay, no word.
  Z_ if (kx::ThreadStopRequested()) return 0;
  Z_ int64_t anzahl = Download_Teile_Anzahl();
  Z_ if (anzahl <= 0 || anzahl != std::llround(Aktuelle_Download_Datei.load())) {
    Z_ Download_Misslungen(Download_Unvollstaendig, Download_Ursache(), false);
    Z_ return 0;
  }
  Z_ if (!Teile_Zusammenfuegen()) {
    Z_ Download_Misslungen(Download_Unvollstaendig, "", false);
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
  Z_ Fertig_Zeigen(2);
  Z_ kx::Text archiv;
  Z_ archiv << Speicherort << ".zip";
  Z_ int32_t eintraege = kx::packer::ArchiveEntryCount(archiv);
  Z_ int32_t entpackt = kx::UnpackArchive(archiv, "*.*", Speicherort, 0);
  Z_ Fertig_Zeigen(80);
  Z_ kx::RemoveFile(kx::Text() << Tempdir << "txt.txt");
  Z_ kx::RemoveFile(archiv);
  Z_ if (eintraege < 0 || entpackt != eintraege) {
    // No part can be trusted: none is kept.
    Z_ Download_Misslungen(Download_Beschaedigt, "", true);
    Z_ return 0;
  }
  Z_ Fertig_Zeigen(100);
  Z_ kx::DisableGadget(Button_0, 0);
  Z_ kx::MessageRequester("Download abgeschlossen", "Der Download wurde erfolgreich abgeschlossen!!!", 0);
  Z_ return 0;
}

}  // namespace velmora
