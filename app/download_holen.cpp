// Fetching a transfer: where to save it, the probe of part 1 (which tells a
// valid code), then part after part until one is not there.
#include <cmath>

#include "app/debugger.h"
#include "app/download.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"
#include "runtime/network/http.h"

namespace velmora {

int32_t Download(int32_t wert) {
  PROZEDUR(Download, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ kx::Text desktop;
  Z_ desktop << kx::GetHomeDirectory(kx::Here) << "Desktop\\";
  Z_ kx::Assign(Speicherort, kx::SaveFileRequester("Speicherort", desktop, "*.*", 0, kx::Here));
  Z_ kx::Assign(v_Ordner, Adresse);

  Z_ kx::Text probe;
  Z_ probe << "http://" << Connect.Domain << "/" << Ordner.FTPOrdner << "/" << v_Ordner << "/1.quon";
  Z_ if (kx::StringLength(Speicherort) == 0 || !kx::HttpDownloadFile(probe, kx::Text() << Tempdir << "Test.quon")) {
    Z_ kx::MessageRequester("Fehler", Fehler.CodeOrdnerUngultig, 0);
    Z_ kx::DisableGadget(Button_0, 0);
    Z_ if (kx::ThreadRunning(Unpack_Datei_Thread)) kx::StopThread(Unpack_Datei_Thread);
    Z_ return 0;
  }

  Z_ Aktuelle_Download_Datei = 0.0f;
  Z_ v_Download = 1;
  // Parts an earlier download of the run left behind are not this one's.
  Z_ kx::DeleteDirectory(Ordner.TempEmpfangOrdnerPfad, "*.*", 1);
  Z_ if (!kx::MakeDirectory(Ordner.TempEmpfangOrdnerPfad)) {
    Z_ kx::MessageRequester("Fehler", Fehler.TempEmpfangOrdner, 0);
  }
  Z_ for (;;) {
    Z_ kx::StringScope teil;
    Z_ int64_t k = std::llround(Aktuelle_Download_Datei.load()) + 1;
    Z_ kx::Text adresse;
    Z_ adresse << "http://" << Connect.Domain << "/" << Ordner.FTPOrdner << "/" << v_Ordner << "/" << k << ".quon";
    Z_ kx::Text ziel;
    Z_ ziel << Ordner.TempEmpfangOrdnerPfad << "\\" << k << ".quon";
    Z_ if (!kx::HttpDownloadFile(adresse, ziel)) break;
    Z_ Aktuelle_Download_Datei = Aktuelle_Download_Datei + 1.0f;
  }
  Z_ v_Download = 2;
  Z_ return 0;
}

}  // namespace velmora
