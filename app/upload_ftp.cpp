// The FTP transfer of an upload: log-in, the transfer code, the extension
// file, the parts with the resume record kept up to date, the count file, and
// at the end the code window and the clean-up.
//
// A part counts as sent only when the FTP layer stored it; the resume record
// names the last such part, so a run that stops (a failure, the program
// killed) leaves a record from which the next start goes on.  The count file,
// which tells receivers the transfer is complete, follows only a full set.
#include <atomic>
#include <cmath>

#include "app/debugger.h"
#include "app/download.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/pipelines.h"
#include "app/programm.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"
#include "runtime/network/ftp.h"
#include "runtime/network/http.h"

namespace velmora {

namespace {

constexpr int32_t Passiv = 1;

// Whether FTP object 1 exists.  Asking the FTP library (FtpIsOpen) about a
// number that names no object is a misuse its checks report, and the
// clean-up runs twice per upload (from the upload and from the code window).
// Ftp_Offen says the connection may be used; FtpObjekt that it exists.
std::atomic<bool> Ftp_Offen{false};
std::atomic<bool> FtpObjekt{false};

// The second line of a failure message: the FTP server's own last reply, or
// why there was none; "" when the failure was no server's (a local file).
// Read in the uploading thread, before the connection is closed: a failed
// log-in leaves no object, and the FTP library keeps that thread's reply.
void Ursache_Anhaengen(kx::Text& meldung) {
  const int32_t code = kx::FtpLastReplyCode(Connect.serverid);
  if (code > 0) {
    meldung << "\n" << kx::FtpLastReply(Connect.serverid, kx::Here);
  } else if (code == kx::FtpReplyRefused) {
    meldung << "\n" << Ursache_Abgelehnt;
  } else if (code != kx::FtpReplyNone) {
    meldung << "\n" << Ursache_Keine_Antwort;
  }
}

// The end of an upload that could not go on: the connection's message with
// its cause (given, or the FTP server's), the connection closed.  The row,
// the parts and the resume record stay, so the user can send again now (the
// send goes on after the last part stored) or the next start resumes.
int32_t Upload_Misslungen(const char* ursache = nullptr) {
  // Stopped (a cancel, the program's end): whoever stopped it closes the
  // connection once every thread that uses it has ended; no message.
  if (Angehalten()) return 0;
  kx::StringScope scope;
  kx::Text meldung;
  meldung << Fehler.FTPConnect;
  if (ursache) {
    meldung << "\n" << ursache;
  } else {
    Ursache_Anhaengen(meldung);
  }
  // The progress thread polls the connection's counter: it lets go first.
  Ftp_Offen = false;
  for (int32_t runde = 0; runde < 300 && kx::ThreadRunning(v_Aktualisierer_Upload); ++runde) Delay(10);
  if (FtpObjekt) kx::CloseFtp(Connect.serverid);
  FtpObjekt = false;
  kx::MessageRequester("Fehler", meldung, 0);
  return 0;
}

}  // namespace

void Ftp_Schliessen() {
  Ftp_Offen = false;
  if (FtpObjekt.exchange(false)) kx::CloseFtp(Connect.serverid);
}

bool Ftp_Verbunden() { return Ftp_Offen; }

int32_t Datei_Senden(const char* lokal, const char* entfernt) {
  PROZEDUR(Datei_Senden, lokal, entfernt);
  Z_ for (int32_t versuch = 1; versuch <= Sende_Versuche && !Angehalten(); ++versuch) {
    Z_ if (kx::FtpUploadFile(Connect.serverid, lokal, entfernt)) return 1;
    Z_ if (versuch < Sende_Versuche) Delay(Sende_Pause);
  }
  Z_ return 0;
}

int64_t Code_Suchen() {
  PROZEDUR(Code_Suchen);
  Z_ int64_t r = 0;
  Z_ int32_t versuche = 0;
  Z_ while (versuche < Code_Versuche && !Angehalten()) {
    Z_ kx::StringScope runde;
    Z_ r = r + 1;
    Z_ kx::Text adresse;
    Z_ adresse << "http://" << Connect.Domain << "/SPLIT/" << r << "/";
    Z_ char* Header = kx::HttpQueryHeader(adresse, kx::Here);
    // No answer at all is not a free number: a web side that is down (or
    // drips its answer) would hand out codes that receivers can't reach.
    Z_ if (kx::StringLength(Header) == 0) return Code_Keine_Antwort;
    Z_ if (kx::FindString(Header, "200 OK", 1) != 0) continue;
    // The web side does not know the folder; it is ours only if the FTP
    // server makes it: making a folder is the one step two senders can't
    // both win, also two programs at the same moment.  A refusal (the
    // other sender made it first) goes on with the next number; no answer
    // at all ends the search.
    Z_ versuche = versuche + 1;
    Z_ if (kx::FtpMakeDirectory(Connect.serverid, kx::QuadToString(r, kx::Here))) return r;
    Z_ if (kx::FtpLastReplyCode(Connect.serverid) <= 0) return 0;
  }
  Z_ return 0;
}

int32_t Upload(int32_t wert) {
  PROZEDUR(Upload, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  // The preparation ends with every part written, or with its failure
  // (which its thread has reported): then nothing is sent.
  Z_ while (Vorbereiten != Vorbereiten_Fertig) {
    Z_ if (Vorbereiten == Vorbereiten_Fehler || Angehalten()) return 0;
    Z_ Delay(100);
  }
  Z_ Upload_Status = 0;
  Z_ Aktuelle_Upload_Datei = 0.0f;
  Z_ if (!kx::OpenFtp(Connect.serverid, Connect.ip, Connect.user, Connect.pw, Passiv, Connect.port)) {
    Z_ kx::Debug("null connect");
    Z_ return Upload_Misslungen();
  }
  Z_ FtpObjekt = true;
  Z_ Ftp_Offen = true;
  Z_ if (!kx::FtpChangeDirectory(Connect.serverid, Ordner.FTPOrdner)) {
    Z_ kx::MessageRequester("", "Bitte lege im Rootverzeichnis den Ordner \xB4SPLIT\xB4 an", 0);
    Z_ Programmende_Anfordern();
    Z_ return 0;
  }

  Z_ int64_t r = 0;
  Z_ if (Fortsetzen != 5) {
    Z_ r = Code_Suchen();
    // The web side's cause (no answer, refused, its status line).
    Z_ if (r == Code_Keine_Antwort) {
      Z_ const char* ursache = Http_Ursache(kx::Here);
      Z_ return Upload_Misslungen(*ursache ? ursache : Ursache_Keine_Antwort);
    }
    Z_ if (r == 0) return Upload_Misslungen();
    Z_ OrdnerZahl = r;
  }
  Z_ if (kx::StringLength(Serverordner) > 0) r = kx::ValueOfString(Serverordner);
  // The parts go into the code folder or nowhere: never beside the code
  // folders in "SPLIT".
  Z_ if (!kx::FtpChangeDirectory(Connect.serverid, kx::QuadToString(r, kx::Here))) return Upload_Misslungen();

  Z_ Endungsdatei_Schreiben();
  Z_ if (!Datei_Senden(kx::Text() << Tempdir << "dd.txt", "txt.txt")) return Upload_Misslungen();

  // Starting point: after the last part the resume record names, or part 1.
  Z_ int64_t x = 1;
  Z_ if (kx::StringLength(ErfolgreichUbertragen) > 0) {
    Z_ OrdnerZahl = kx::ValueOfString(Serverordner);
    Z_ x = kx::ValueOfString(ErfolgreichUbertragen) + 1;
    Z_ kx::Assign(Ordner.TempSplitOrdnerPfad, TempPfad);
    Z_ int64_t teil1 = kx::FileSize(kx::Text() << Ordner.TempSplitOrdnerPfad << "1.quon");
    Z_ Grosrel = int32_t(uint32_t(uint64_t((x - 1) * teil1)));
  } else {
    Z_ kx::Assign(Upload_Pack_Datei_Size, kx::QuadToString(kx::FileSize(Upload_Pack_Pfad), kx::Here));
  }
  Z_ Infos_Schreiben(x - 1);

  Z_ const int64_t anzahl = int64_t(uint32_t(Splitt_Dateien_Anzahl.load()));
  Z_ for (; x <= anzahl; ++x) {
    Z_ kx::StringScope teil;
    Z_ Upload_Status = 2;
    Z_ kx::Text lokal;
    Z_ lokal << Ordner.TempSplitOrdnerPfad << x << ".quon";
    Z_ kx::Text entfernt;
    Z_ entfernt << x << ".quon";
    Z_ if (!Datei_Senden(lokal, entfernt)) return Upload_Misslungen();
    Z_ Infos_Schreiben(x);
    Z_ Delay(300);
    // Stopped between two parts: the record names the part just stored.
    Z_ if (Angehalten()) return 0;
    Z_ Aktuelle_Upload_Datei = Aktuelle_Upload_Datei + 1.0f;
    Z_ float Upload_Datei_Size = float(kx::FileSize(lokal));
    Z_ Grosrel = int32_t(std::llround(double(Grosrel) + double(Upload_Datei_Size)));
  }

  Z_ Anzahldatei_Schreiben();
  Z_ if (!Datei_Senden(kx::Text() << Tempdir << "Anz.txt", "Anz.txt")) return Upload_Misslungen();
  Z_ if (Angehalten()) return 0;
  Z_ Upload_Status = 5;
  // The bar tells the truth when the code window opens: the progress thread
  // ends its pass first (it could still write an older share), then the
  // whole transfer shows as sent.
  Z_ for (int32_t runde = 0; runde < 300 && kx::ThreadRunning(v_Aktualisierer_Upload); ++runde) Delay(10);
  Z_ kx::SetGadgetState(ProgressBar_Upload, 100);
  Z_ kx::SetGadgetText(Text_12, "100%");
  Z_ kx::StartThread(CodeFenster, 77);
  Z_ Cleaner("Upload fertig");
  Z_ return 0;
}

}  // namespace velmora
