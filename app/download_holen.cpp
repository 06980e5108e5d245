// Fetching a transfer: where to save it, the probe of part 1 (which tells a
// valid code), the count file, then part after part until the count is held.
//
// The parts are kept in the persistent folder (Templog + "Empf") beside a
// record of the server, code and place they belong to: a download that
// stopped (a part missing for good, the program ended or killed) goes on at
// the next download of the same code into the same place with the first part
// it lacks.  The HTTP client names a part only when it is whole, so every
// "<k>.quon" there is complete; what a stopped fetch left half-written is
// removed.
#include <atomic>
#include <cmath>
#include <cstring>

#include "app/debugger.h"
#include "app/download.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"
#include "runtime/network/http.h"

namespace velmora {

namespace {

constexpr int32_t Bytes = 0;  // text format: the bytes as they are
constexpr const char* Herkunftsdatei = "Herkunft.txt";

// The count the server's Anz.txt gave for this download, 0 when none came.
std::atomic<int64_t> Teile_Anzahl{0};

// Why the fetch thread's last request failed, for the messages of the join
// (another thread): written by the fetch before it ends, read after.
char Ursache_Text[kx::http::StatusLineLength + 64] = "";

void Ursache_Merken() {
  kx::StringScope scope;
  const char* text = Http_Ursache(kx::Here);
  strncpy(Ursache_Text, text, sizeof Ursache_Text - 1);
  Ursache_Text[sizeof Ursache_Text - 1] = 0;
}

// One file over HTTP, tried up to Teil_Versuche times Teil_Pause apart.
int32_t Holen(const char* adresse, const char* ziel) {
  for (int32_t versuch = 1; versuch <= Teil_Versuche; ++versuch) {
    if (kx::HttpDownloadFile(adresse, ziel)) return 1;
    Ursache_Merken();
    if (kx::ThreadStopRequested() || versuch == Teil_Versuche) break;
    Delay(Teil_Pause);
  }
  return 0;
}

// The three lines that say whose parts the folder holds.
kx::Text& Herkunft(kx::Text& text) {
  return text << Connect.Domain << "\r\n" << v_Ordner << "\r\n" << Speicherort << "\r\n";
}

// The record's path and the text it holds for this download.
void Herkunftsdatei_Pfad(kx::Text& pfad) { pfad << Ordner.TempEmpfangOrdnerPfad << "\\" << Herkunftsdatei; }

// The kept parts 1..n of this download: 0 when the folder holds none of
// this code and place.  What a stopped fetch left half-written is removed.
int64_t Behaltene_Teile() {
  kx::StringScope scope;
  kx::Text record;
  Herkunftsdatei_Pfad(record);
  kx::Text soll;
  Herkunft(soll);
  kx::Text ist;
  if (intptr_t datei = kx::OpenFileForReading(kx::DynamicNumber, record)) {
    for (int i = 0; i < 3 && !kx::AtFileEnd(datei); ++i) ist << kx::ReadFileLine(datei, Bytes, kx::Here) << "\r\n";
    kx::CloseFile(datei);
  }
  if (strcmp(ist, soll) != 0) return 0;
  const char* ordner = Ordner.TempEmpfangOrdnerPfad;
  kx::DeleteDirectory(ordner, "*.~*", 0);
  kx::MakeDirectory(ordner);  // the line above removes it when nothing else was there
  int64_t n = 0;
  while (kx::FileSize(kx::Text() << ordner << "\\" << (n + 1) << TeilEndung) >= 0) ++n;
  return n;
}

// An empty parts folder for this download, with its record: the parts of
// any other download are dropped.
void Neue_Herkunft() {
  kx::StringScope scope;
  kx::DeleteDirectory(Ordner.TempEmpfangOrdnerPfad, "*.*", 1);
  kx::MakeDirectory(Ordner.TempEmpfangOrdnerPfad);
  kx::Text record;
  Herkunftsdatei_Pfad(record);
  kx::Text soll;
  Herkunft(soll);
  if (intptr_t datei = kx::NewFile(kx::DynamicNumber, record)) {
    kx::WriteFileText(datei, soll, Bytes);
    kx::CloseFile(datei);
  }
}

}  // namespace

char* Http_Ursache(int32_t mark) {
  switch (kx::HttpLastFailure()) {
    case kx::HttpFailureTimeOut:
      return kx::ReturnString(Ursache_Keine_Antwort, -1, mark);
    case kx::HttpFailureRefused:
      return kx::ReturnString(Ursache_Abgelehnt, -1, mark);
    case kx::HttpFailureStatus:
      return kx::HttpLastStatusLine(mark);
    case kx::HttpFailureBroken:
      return kx::ReturnString("Die Verbindung wurde unterbrochen.", -1, mark);
    case kx::HttpFailureFile:
      return kx::ReturnString("Die Datei konnte nicht geschrieben werden.", -1, mark);
    default:
      return kx::ReturnString("", 0, mark);
  }
}

void Fehler_Melden(const char* meldung, const char* ursache) {
  kx::StringScope scope;
  kx::Text text;
  text << meldung;
  if (ursache && *ursache) text << "\r\n" << ursache;
  kx::MessageRequester("Fehler", text, 0);
}

const char* Download_Ursache() { return Ursache_Text; }

int64_t Download_Teile_Anzahl() { return Teile_Anzahl; }

int32_t Download(int32_t wert) {
  PROZEDUR(Download, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ Ursache_Text[0] = 0;
  Z_ Teile_Anzahl = 0;
  Z_ kx::Text desktop;
  Z_ desktop << kx::GetHomeDirectory(kx::Here) << "Desktop\\";
  Z_ kx::Assign(Speicherort, kx::SaveFileRequester("Speicherort", desktop, "*.*", 0, kx::Here));
  Z_ kx::Assign(v_Ordner, Adresse);
  // The parts live in the persistent folder, so that a stopped download can
  // go on in a later run.
  Z_ kx::Assign(Ordner.TempEmpfangOrdnerPfad, kx::Text() << Templog << "Empf");

  // Parts kept from an earlier download of this code into this place: the
  // code was valid then, part 1 is here, the probe is not needed.
  Z_ int64_t behalten = kx::StringLength(Speicherort) ? Behaltene_Teile() : 0;
  Z_ kx::Text probe;
  Z_ probe << "http://" << Connect.Domain << "/" << Ordner.FTPOrdner << "/" << v_Ordner << "/1.quon";
  Z_ if (kx::StringLength(Speicherort) == 0 ||
         (behalten == 0 && !Holen(probe, kx::Text() << Tempdir << "Test.quon"))) {
    Z_ if (kx::ThreadStopRequested()) return 0;  // the program ends: no word
    Z_ Fehler_Melden(Fehler.CodeOrdnerUngultig, kx::StringLength(Speicherort) ? Ursache_Text : "");
    Z_ kx::DisableGadget(Button_0, 0);
    Z_ return 0;
  }
  // A valid code: the parts of another download give way (not before, so
  // that a mistyped code costs no kept parts).
  Z_ if (behalten == 0) Neue_Herkunft();

  // The count first: the fetch ends as soon as it holds that many parts.
  Z_ kx::Text anzahldatei;
  Z_ anzahldatei << Tempdir << "AnzEmpf.txt";
  Z_ kx::RemoveFile(anzahldatei);
  Z_ if (Holen(kx::Text() << "http://" << Connect.Domain << "/SPLIT/" << v_Ordner << "/Anz.txt", anzahldatei)) {
    Z_ Teile_Anzahl = kx::ValueOfString(Anzahldatei_Lesen(kx::Here));
  }

  // The share already here shows at once.
  Z_ Aktuelle_Download_Datei = float(behalten);
  Z_ v_Download = 1;
  Z_ if (kx::FileSize(Ordner.TempEmpfangOrdnerPfad) != -2) {
    Z_ kx::MessageRequester("Fehler", Fehler.TempEmpfangOrdner, 0);
  }
  Z_ for (;;) {
    Z_ kx::StringScope teil;
    Z_ int64_t k = std::llround(Aktuelle_Download_Datei.load()) + 1;
    Z_ if (Teile_Anzahl > 0 && k > Teile_Anzahl) break;
    Z_ kx::Text adresse;
    Z_ adresse << "http://" << Connect.Domain << "/" << Ordner.FTPOrdner << "/" << v_Ordner << "/" << k << ".quon";
    Z_ kx::Text ziel;
    Z_ ziel << Ordner.TempEmpfangOrdnerPfad << "\\" << k << TeilEndung;
    Z_ if (!Holen(adresse, ziel)) break;
    Z_ Aktuelle_Download_Datei = Aktuelle_Download_Datei + 1.0f;
  }
  Z_ v_Download = 2;
  Z_ return 0;
}

}  // namespace velmora
