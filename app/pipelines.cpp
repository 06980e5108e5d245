// The main window's hand-over to the upload and download pipelines: thread
// starts and stops on the thread-number globals.  The pipelines themselves
// are in upload_*.cpp and download_*.cpp.
#include "app/pipelines.h"

#include "app/anhalten.h"
#include "app/debugger.h"
#include "app/download.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/files/pack.h"

namespace velmora {

void Fortsetzer_Starten() {
  PROZEDUR(Fortsetzer_Starten);
  Z_ Downloadfortsetzer_Thread = kx::StartThread(Downloadfortsetzer, 52918);
}

void Upload_Starten(int32_t callbackVorDatei) {
  PROZEDUR(Upload_Starten, callbackVorDatei);
  // One upload at a time: a second send while the row's upload runs would
  // share its globals, its parts and its resume record.
  // An upload that just gave up (its message answered) is given a moment
  // to end.
  Z_ auto laeuft = [] {
    return kx::ThreadRunning(UploadThread) || kx::ThreadRunning(PackerDateiThread) ||
           kx::ThreadRunning(PackerOrdnerThread) || kx::ThreadRunning(VorbereitenThread);
  };
  Z_ for (int32_t runde = 0; runde < 50 && laeuft(); ++runde) Delay(10);
  Z_ if (laeuft()) return;
  Z_ Upload_Zuruecksetzen();
  // The resume record belongs to the row in the list (deleting the row
  // deletes it): an upload of it that stopped half-way goes on after the
  // last part stored, into the same code, from the parts already cut.
  Z_ if (Infos_Lesen()) {
    Z_ Vorbereiten = Vorbereiten_Fertig;
    Z_ Fortsetzen = 5;
    Z_ UploadThread = kx::StartThread(Upload, 45);
    Z_ v_Aktualisierer_Upload = kx::StartThread(Aktualisierer_Upload, 44);
    Z_ return;
  }
  // With a file and a folder both chosen, the one confirmed last is sent.
  Z_ bool datei = kx::StringLength(Upload_Datei_Pfad) > 0;
  Z_ bool ordner = kx::StringLength(Upload_Ordner_Pfad) > 0;
  Z_ if (datei && ordner) {
    Z_ datei = Auswahl_Zuletzt != Auswahl_Ordner;
    Z_ ordner = !datei;
  }
  Z_ if (datei) {
    Z_ if (callbackVorDatei) kx::SetPackCallback(PackCallback);
    Z_ PackerDateiThread = kx::StartThread(Pack_Datei, 41);
  }
  Z_ if (ordner) {
    Z_ PackerOrdnerThread = kx::StartThread(Pack_Ordner, 41);
    Z_ kx::SetPackCallback(PackCallback);
  }
  // The upload first, so that its updater finds it running.
  Z_ UploadThread = kx::StartThread(Upload, 45);
  Z_ v_Aktualisierer_Upload = kx::StartThread(Aktualisierer_Upload, 44);
}

void Upload_Abbrechen() {
  PROZEDUR(Upload_Abbrechen);
  // The connection is closed only once nobody uses it; an upload thread
  // that did not stop in time keeps it, and a new send waits for its end.
  Z_ if (Upload_Threads_Anhalten()) Ftp_Schliessen();
  Z_ Cleaner("löschen");
}

void Download_Starten() {
  PROZEDUR(Download_Starten);
  // The status of an earlier download of the run would end the new one's
  // updater at once.
  Z_ v_Download = 0;
  // The fetch first: the updater and the join watch it by its number.
  Z_ Download_Thread = kx::StartThread(Download, 492);
  Z_ v_Aktualisierer_Download = kx::StartThread(Aktualisierer_Download, 44);
  Z_ Zusammenfuegen_Thread = kx::StartThread(Zusammenfuegen, 291);
  Z_ DownloadGeschwindigkeit_Thread = kx::StartThread(Downloadgeschwindigkeit, 44);
}

}  // namespace velmora
