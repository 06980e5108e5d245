// Progress of a download: bar 19, text 40 and the speed column while parts
// arrive (against the count the fetch got from the count file); and the
// speed of the latest part.  Both end with the fetch they watch.
#include <windows.h>

#include <cmath>

#include "app/debugger.h"
#include "app/download.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/gui/gadget.h"
#include "runtime/network/http.h"

namespace velmora {

namespace {

constexpr int32_t Spalte_Geschwindigkeit = 2;

bool Holen_Laeuft() { return kx::ThreadRunning(Download_Thread) != 0; }

// Bar 19 and text 40; a count of 0 or none shows 0%.
void Prozent_Zeigen(float anzahl) {
  kx::StringScope scope;
  float prozent = anzahl > 0 ? 100.0f / anzahl * Aktuelle_Download_Datei.load() : 0.0f;
  kx::SetGadgetState(ProgressBar_4, int32_t(std::lround(prozent)));
  kx::SetGadgetText(Text_30, kx::Text() << kx::FloatToString(prozent, 0, kx::Here) << "%");
}

}  // namespace

int32_t Aktualisierer_Download(int32_t wert) {
  PROZEDUR(Aktualisierer_Download, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  // From the moment the fetch begins (the share of kept parts already
  // counted) until it ends.
  Z_ while (v_Download != 2 && Holen_Laeuft()) {
    Z_ if (v_Download == 1) {
      Z_ kx::StringScope runde;
      Z_ Prozent_Zeigen(float(Download_Teile_Anzahl()));
      Z_ kx::SetGadgetItemText(ListIcon_1, 0, kx::Text() << Download_Geschwindigkeit.load() << " KBit/s",
                               Spalte_Geschwindigkeit);
      Z_ Delay(100);
    } else {
      Z_ Delay(10);
    }
  }
  Z_ if (v_Download == 2) Prozent_Zeigen(float(Download_Teile_Anzahl()));
  Z_ return 0;
}

int32_t Downloadgeschwindigkeit(int32_t wert) {
  PROZEDUR(Downloadgeschwindigkeit, wert);
  Z_ kx::ThreadStringStart();
  Z_ Download_Geschwindigkeit = 0;
  // Parts kept from an earlier run arrive in no time: the first
  // measurement starts with the fetch.
  Z_ while (v_Download != 1 && v_Download != 2 && Holen_Laeuft()) Delay(10);
  Z_ while (Holen_Laeuft()) {
    Z_ kx::StringScope runde;
    Z_ DWORD elapa = GetTickCount();
    Z_ int64_t werteins = std::llround(Aktuelle_Download_Datei.load());
    Z_ while (std::llround(Aktuelle_Download_Datei.load()) == werteins && Holen_Laeuft()) Delay(1);
    Z_ if (std::llround(Aktuelle_Download_Datei.load()) == werteins) break;
    Z_ int32_t elap = int32_t(GetTickCount() - elapa);
    Z_ int64_t vorheriger = std::llround(Aktuelle_Download_Datei.load()) - 1;
    Z_ int32_t siz = int32_t(kx::FileSize(kx::Text() << Ordner.TempEmpfangOrdnerPfad << "\\" << vorheriger << ".quon"));
    // A part that came in under a second keeps the speed shown before.
    Z_ if (siz != 0 && elap / 1000 != 0) Download_Geschwindigkeit = ((siz / 1000) / (elap / 1000)) * 8;
  }
  Z_ return 0;
}

}  // namespace velmora
