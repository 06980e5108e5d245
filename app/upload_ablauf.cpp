// Before and after an upload: the clean state a new upload of the run starts
// from, the clean-up when it is finished or deleted, and the resume of an
// upload that an earlier run left unfinished.
#include <windows.h>

#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/pipelines.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"

namespace velmora {

namespace {
constexpr int32_t MitUnterordnern = 1;
}  // namespace

// In slices, so that a stop request ends the pause within a slice.
void Delay(int32_t millisekunden) {
  constexpr DWORD Scheibe = 20;
  const DWORD anfang = GetTickCount();
  for (;;) {
    if (Angehalten()) return;
    const DWORD vergangen = GetTickCount() - anfang;
    if (millisekunden <= 0 || vergangen >= DWORD(millisekunden)) {
      if (millisekunden <= 0) Sleep(0);
      return;
    }
    const DWORD rest = DWORD(millisekunden) - vergangen;
    Sleep(rest < Scheibe ? rest : Scheibe);
  }
}

bool Angehalten() { return kx::ThreadStopRequested() != 0; }

int32_t Vorbereitung_Misslungen(const char* text, const char* pfad) {
  PROZEDUR(Vorbereitung_Misslungen, text, pfad);
  Z_ kx::StringScope scope;
  Z_ Vorbereiten = Vorbereiten_Fehler;
  Z_ kx::MessageRequester("Fehler", kx::Text() << text << "\n" << pfad, 0);
  Z_ return 0;
}

void Upload_Zuruecksetzen() {
  PROZEDUR(Upload_Zuruecksetzen);
  Z_ Vorbereiten = 0;
  Z_ Splitt_Dateien_Anzahl = 0;
  Z_ Aktuelle_Splitt_Datei = 0.0f;
  Z_ Aktuelle_Upload_Datei = 0.0f;
  Z_ Grosrel = 0;
  Z_ Upload_Status = 0;
  // A run that resumed an upload keeps its values; a new upload of that run
  // must choose a code of its own and cut its parts into this run's folder.
  Z_ Fortsetzen = 0;
  Z_ Upload_fortsetzen = 0;
  Z_ kx::Assign(Serverordner, nullptr);
  Z_ kx::Assign(ErfolgreichUbertragen, nullptr);
  Z_ kx::Assign(TempPfad, nullptr);
  Z_ kx::Assign(Ordner.TempSplitOrdnerPfad, kx::Text() << Tempdir << "SPLIT\\");
}

void Cleaner(const char* modus) {
  PROZEDUR(Cleaner, modus);
  Z_ kx::StringScope scope;
  Z_ Delay(1003);
  Z_ if (kx::Equal(modus, "Upload fertig")) {
    // Only the upload's own files go: a download may be using the private
    // folder at the same time (its parts, its count file).
    Z_ kx::RemoveFile(MyZIP);
    Z_ kx::DeleteDirectory(Ordner.TempSplitOrdnerPfad, "*.*", MitUnterordnern);
    Z_ kx::RemoveFile(kx::Text() << Tempdir << "dd.txt");
    Z_ kx::RemoveFile(kx::Text() << Tempdir << "Anz.txt");
    Z_ kx::MakeDirectory(Tempdir);
    Z_ Ftp_Schliessen();
    Z_ kx::SetGadgetState(ProgressBar_Upload, 0);
    Z_ kx::SetGadgetState(ProgressBar_Vorbereiten, 0);
    Z_ kx::SetGadgetText(Text_11, "0 %");
    Z_ kx::SetGadgetText(Text_12, "0 %");
    Z_ kx::RemoveFile(kx::Text() << Templog << "Infos.txt");
  }
  Z_ if (kx::Equal(modus, "l\xF6schen")) {
    Z_ kx::RemoveFile(kx::Text() << Templog << "Infos.txt");
  }
}

int32_t Downloadfortsetzer(int32_t wert) {
  PROZEDUR(Downloadfortsetzer, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ if (!Infos_Lesen()) return 0;
  // The row needs its texts and the main window's list, which the start
  // sequence may still be building.
  Z_ int32_t spalte = kx::StartThread(Rechner_Hauptfenster_Spalte, 0);
  Z_ Delay(100);
  Z_ for (int32_t runde = 0; runde < 100 && (kx::ThreadRunning(spalte) || !kx::IsGadget(ListIcon_0)); ++runde) {
    Z_ if (Angehalten()) return 0;
    Z_ Delay(100);
  }
  Z_ if (Angehalten()) return 0;
  Z_ kx::AddGadgetItem(ListIcon_0, 0, kx::Text() << Spalte_Name << "\n\n\n\n" << Spalte_Datei_Size << "\n");
  Z_ kx::DisableGadget(ButtonImage_1, 1);
  Z_ kx::SetGadgetText(Text_26, "");
  Z_ Vorbereiten = Vorbereiten_Fertig;
  Z_ Fortsetzen = 5;
  // The upload first, so that its updater finds it running.
  Z_ UploadThread = kx::StartThread(Upload, 45);
  Z_ v_Aktualisierer_Upload = kx::StartThread(Aktualisierer_Upload, 44);
  Z_ return 0;
}

}  // namespace velmora
