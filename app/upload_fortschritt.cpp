// Progress of an upload: the preparation bar while the archive is cut, then
// the upload bar, the speed and the sent columns of the send list while the
// parts go out.  It ends with the upload thread, whether that finished or
// gave up.
#include <cmath>

#include "app/debugger.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/gui/gadget.h"
#include "runtime/network/ftp.h"

namespace velmora {

namespace {

constexpr int32_t Spalte_Gesendet = 2;
constexpr int32_t Spalte_Geschwindigkeit = 3;

// False as well once this thread is asked to stop.
bool Upload_Laeuft() { return !Angehalten() && kx::ThreadRunning(UploadThread) != 0; }

// The text without its last `weg` characters ("" when it has no more).
char* Ohne_Ende(const char* text, int32_t weg, int32_t mark) {
  return kx::LeftString(text, kx::StringLength(text) - weg, mark);
}

// "Gesendet:": the whole megabytes of the parts sent, "0" below one.
void Gesendet_Zeigen() {
  kx::StringScope scope;
  kx::Text mb;
  mb << Ohne_Ende(kx::QuadToString(Grosrel.load(), kx::Here), 6, kx::Here);
  if (mb.length() == 0) mb << "0";
  mb << " MB";
  kx::SetGadgetItemText(ListIcon_0, 0, mb, Spalte_Gesendet);
}

}  // namespace

int32_t Aktualisierer_Upload(int32_t wert) {
  PROZEDUR(Aktualisierer_Upload, wert);
  Z_ kx::ThreadStringStart();
  Z_ while (Splitt_Dateien_Anzahl == 0) {
    Z_ if (!Upload_Laeuft()) return 0;
    Z_ Delay(10);
  }
  Z_ Delay(100);

  // Preparation: the second half of bar 5 follows the parts written.
  Z_ for (;;) {
    Z_ kx::StringScope runde;
    Z_ float Fortschritt_Vorbereiten_Prozent =
        50.0f / float(Splitt_Dateien_Anzahl.load()) * Aktuelle_Splitt_Datei.load() + 50.0f;
    Z_ kx::SetGadgetState(ProgressBar_Vorbereiten, int32_t(std::lround(Fortschritt_Vorbereiten_Prozent)));
    Z_ kx::SetGadgetText(Text_11, kx::Text() << kx::FloatToString(Fortschritt_Vorbereiten_Prozent, 0, kx::Here)
                                               << "%");
    Z_ if (Vorbereiten == Vorbereiten_Fertig) {
      Z_ kx::SetGadgetState(ProgressBar_Vorbereiten, 100);
      Z_ kx::SetGadgetText(Text_11, "100%");
      Z_ break;
    }
    Z_ if (Upload_fortsetzen == 5) break;
    Z_ if (!Upload_Laeuft()) return 0;
    Z_ Delay(100);
  }

  Z_ while (Upload_Status != 2) {
    Z_ if (!Upload_Laeuft()) return 0;
    Z_ Delay(200);
  }

  // Sending: one pass about every second.
  Z_ do {
    Z_ kx::StringScope runde;
    Z_ Gesendet_Zeigen();
    Z_ if (!Ftp_Verbunden()) break;
    Z_ int32_t Pgg = kx::FtpProgress(Connect.serverid);
    Z_ if (Pgg == kx::FtpProgressSetup || Pgg == kx::FtpProgressDone || Pgg == kx::FtpProgressFailed) {
      Z_ Delay(10);  // between two parts: look again soon
      Z_ continue;
    }
    Z_ int64_t Groserelativ = int64_t(Grosrel.load()) + Pgg;
    Z_ double A = Upload_fortsetzen == 5 ? double(kx::ValueOfString(Upload_Pack_Datei_Size))
                                         : double(kx::FileSize(Upload_Pack_Pfad));
    Z_ float prozent = A > 0 ? float(double(Groserelativ) * 100.0 / A) : 0.0f;
    Z_ kx::SetGadgetText(Text_12, kx::Text() << kx::FloatToString(prozent, 0, kx::Here) << "%");
    Z_ kx::SetGadgetState(ProgressBar_Upload, int32_t(std::lround(prozent)));

    Z_ int32_t anf = kx::FtpProgress(Connect.serverid);
    // About a second for the speed; parts that finish meanwhile show at once.
    Z_ int32_t gezeigt = Grosrel;
    Z_ for (int32_t schritt = 0; schritt < 100 && Ftp_Verbunden() && Upload_Status != 5; ++schritt) {
      Z_ Delay(10);
      Z_ if (Grosrel != gezeigt) {
        Z_ gezeigt = Grosrel;
        Z_ Gesendet_Zeigen();
      }
    }
    Z_ if (!Ftp_Verbunden()) break;
    Z_ int32_t endd = kx::FtpProgress(Connect.serverid);
    Z_ if (anf < 0 || endd < 0 || endd < anf) continue;  // a part began or ended meanwhile
    Z_ int32_t cen = endd - anf;
    Z_ kx::Text kbs;
    Z_ kbs << Ohne_Ende(kx::FloatToString(float(cen), 0, kx::Here), 3, kx::Here) << " KBs";
    Z_ kx::SetGadgetItemText(ListIcon_0, 0, kbs, Spalte_Geschwindigkeit);
  } while (Upload_Status != 5 && Upload_Laeuft() && Ftp_Verbunden());
  Z_ Gesendet_Zeigen();
  Z_ return 0;
}

}  // namespace velmora
