// Start values and the small local records of a transfer: the private and
// persistent folders, the access file, the resume record, the extension and
// count files.
#include "app/layout.h"

#include <windows.h>
#include <objbase.h>

#include <initializer_list>

#include "app/debugger.h"
#include "app/globals.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/files/base64.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"

namespace velmora {

namespace {

constexpr int32_t Bytes = 0;  // text format: the bytes as they are

// The application's GUID record is handed to the system as its own.
static_assert(sizeof(velmora::GUID) == sizeof(::GUID));

}  // namespace

// ---- start-up ---------------------------------------------------------------------

char* MakeGUID(int32_t mark) {
  PROZEDUR(MakeGUID, mark);
  Z_ kx::ThreadStringStart();
  // StringFromGUID2 writes 38 characters and the zero; room for one more.
  Z_ wchar_t text[40] = {};
  Z_ if (CoCreateGuid(reinterpret_cast<::GUID*>(&GUID)) != S_OK) return kx::ReturnString("", 0, mark);
  Z_ int length = StringFromGUID2(*reinterpret_cast<const ::GUID*>(&GUID), text, 40);
  Z_ return kx::PeekText(text, length, kx::FormatUtf16, mark);
}

void Startwerte() {
  kx::ThreadStringStart();
  kx::StringScope scope;

  kx::Assign(mytempdir, kx::Text() << kx::GetTempDirectory(kx::Here) << MakeGUID(kx::Here) << "\\");
  kx::Assign(Tempdir, mytempdir);
  kx::MakeDirectory(Tempdir);

  kx::Assign(Templog, kx::Text() << kx::GetTempDirectory(kx::Here) << "Velmora\\");
  if (kx::FileSize(Templog) != -2) kx::MakeDirectory(Templog);

  kx::Assign(MyZIP, kx::Text() << Tempdir << ArchivName);
  PacketGrose = 1000000;
  kx::Assign(Ordner.TempEmpfangOrdnerPfad, kx::Text() << Tempdir << "Empf");
  Zusammen.PacketGrosse = 2000000;

  // Latin-1 texts: the runtime's strings are ANSI.
  kx::AssignString(&Fehler.Auswahlfenster_UngueltigerPfad,
                   "Der Pfad ist leider Ung\xFCltig. Bitte Pfad \xFC" "berpr\xFC" "fen.");
  kx::AssignString(&Fehler.CodeOrdnerUngultig,
                   "Der eingegebene Code ist leider ung\xFCltig. Bitte den richtigen Code eingeben.");
  kx::AssignString(&Fehler.FTPConnect,
                   "Es konnte keine Verbindung zum FTP Server hergestellt werden. Entweder es besteht "
                   "keine Internet Verbindung oder die Firewall blockiert den Zugriff");
  kx::AssignString(&Fehler.Endung,
                   "Die Endung konnte nicht Definiert werden. Bitte benachrichtigen sie den Webmaster.");
  kx::Assign(Fehler.Download_Fehlgeschlagen, "Der Download der ersten Datei ist fehlgeschlagen");
  kx::Assign(Fehler.TempEmpfangOrdner, "Die Temp Empfangordner konnte nicht erstellt werden");
  kx::Assign(Namen.Titel_Auswahlfenster, "Auswahlfenster");
  kx::AssignString(&Namen.Text_Auswahlfenster,
                   "Bitte w\xE4hlen sie eine Datei oder ein Verzeichnis aus, das hochgeladen werden soll.");

  Connect.serverid = 1;
  Connect.port = 21;
  kx::Assign(Ordner.FTPOrdner, "SPLIT");
  kx::Assign(Ordner.TempSplitOrdnerPfad, kx::Text() << Tempdir << "SPLIT\\");
  kx::AssignString(&Version.Text,
                   "Velmora v 1.0 Release\r\n\xA9 2026 Die Velmora-Entwickler\r\nhttps://velmora.example.org/");
  kx::Assign(Version.Titel, "Velmora v 1.0 Release");
}

// ---- access file ------------------------------------------------------------------

int32_t Zugangsdatei_Schreiben(const char* ip, const char* domain, const char* user, const char* pw,
                               char** kodiert) {
  kx::ThreadStringStart();
  kx::StringScope scope;
  const char* werte[4] = {ip, domain, user, pw};
  for (const char* wert : werte) {
    // 766 bytes would need 1024 Base64 characters and the zero 1025.
    if (kx::StringLength(wert) > ZugangWertHoechstens) return ZugangWertZuLang;
  }

  char* texte[4] = {};
  for (int i = 0; i < 4; ++i) {
    kx::Assign(texte[i], kx::Space(ZugangRaum, kx::Here));
    int32_t length = kx::StringLength(werte[i]);
    // An empty field is stored as an empty line (the encoder refuses length 0).
    if (length > 0) kx::Base64Encode(werte[i], length, texte[i], ZugangRaum);
    else texte[i][0] = 0;
  }

  int32_t result = ZugangDateiFehler;
  if (kx::NewFile(33, kx::Text() << Templog << Zugangsdatei)) {
    for (char* text : texte) kx::WriteFileLine(33, text, Bytes);
    kx::CloseFile(33);
    result = ZugangGespeichert;
  }
  for (int i = 0; i < 4; ++i) {
    if (kodiert) kx::Assign(kodiert[i], texte[i]);
    kx::FreeString(texte[i]);
  }
  return result;
}

int32_t Zugangsdatei_Lesen() {
  kx::ThreadStringStart();
  kx::StringScope scope;
  Zugang = 0;
  if (!kx::OpenFileForReading(33, kx::Text() << Templog << Zugangsdatei)) return 0;

  char** zeilen[4] = {&Zeilea, &Zeileb, &Zeilec, &Zeiled};
  char** werte[4] = {&a, &b, &c, &d};
  for (char** zeile : zeilen) kx::Assign(*zeile, kx::ReadFileLine(33, Bytes, kx::Here));
  kx::CloseFile(33);

  // A line that would decode to more than the 1024 bytes of room makes the
  // file unusable as a whole, rather than a value cut somewhere.
  for (char** zeile : zeilen) {
    if (kx::StringLength(*zeile) / 4 * 3 + 1 > ZugangRaum) return 0;
  }
  for (int i = 0; i < 4; ++i) {
    kx::Assign(*werte[i], kx::Space(ZugangRaum, kx::Here));
    int32_t length = kx::StringLength(*zeilen[i]);
    if (length > 0) kx::Base64Decode(*zeilen[i], length, *werte[i], ZugangRaum);
    else (*werte[i])[0] = 0;
  }
  kx::Assign(Connect.ip, a);
  kx::Assign(Connect.Domain, b);
  kx::Assign(Connect.user, c);
  kx::Assign(Connect.pw, d);
  Zugang = 1;
  return Zugang;
}

// ---- resume record ----------------------------------------------------------------

int32_t Infos_Schreiben(int64_t erfolgreich) {
  kx::ThreadStringStart();
  kx::StringScope scope;
  if (!kx::NewFile(419, kx::Text() << Templog << Fortsetzungsdatei)) return 0;
  kx::WriteFileLine(419, kx::Text() << "TempPfad" << Ordner.TempSplitOrdnerPfad, Bytes);
  kx::WriteFileLine(419, kx::Text() << "Erfolgreich" << erfolgreich, Bytes);
  kx::WriteFileLine(419, kx::Text() << "Serverordner" << OrdnerZahl.load(), Bytes);
  kx::WriteFileLine(419, kx::Text() << "Dateipfad" << Upload_Datei_Pfad, Bytes);
  kx::WriteFileLine(419, kx::Text() << "Splitanzahl" << Splitt_Dateien_Anzahl.load(), Bytes);
  kx::WriteFileLine(419, kx::Text() << "PackSize" << Upload_Pack_Datei_Size, Bytes);
  kx::CloseFile(419);
  return 1;
}

int32_t Infos_Lesen() {
  kx::ThreadStringStart();
  kx::StringScope scope;
  if (!kx::OpenFileForReading(55, kx::Text() << Templog << Fortsetzungsdatei)) return 0;
  Upload_fortsetzen = 5;

  char* anzahl = nullptr;
  struct {
    const char* key;
    char** variable;
  } zeilen[6] = {{"TempPfad", &TempPfad},          {"Erfolgreich", &ErfolgreichUbertragen},
                 {"Serverordner", &Serverordner},  {"Dateipfad", &Dateipfad},
                 {"Splitanzahl", &anzahl},         {"PackSize", &Upload_Pack_Datei_Size}};
  for (auto& zeile : zeilen) {
    // The value follows its key; the key itself is not compared.
    const int32_t start = kx::StringLength(zeile.key) + 1;
    kx::Assign(*zeile.variable,
               kx::MidString(kx::ReadFileLine(55, Bytes, kx::Here), start, InfosWertHoechstens, kx::Here));
  }
  kx::Assign(Upload_Datei_Pfad, Dateipfad);
  Splitt_Dateien_Anzahl = kx::ValueOfString(anzahl);
  kx::FreeString(anzahl);
  kx::CloseFile(55);
  return 1;
}

// ---- extension and count files ----------------------------------------------------

int32_t Endungsdatei_Schreiben() {
  kx::ThreadStringStart();
  kx::StringScope scope;
  kx::Assign(Endung, kx::GetExtensionPart(Upload_Datei_Pfad, kx::Here));
  kx::Text pfad;
  pfad << Tempdir << "dd.txt";
  kx::RemoveFile(pfad);
  if (!kx::NewFile(73, pfad)) return 0;
  kx::WriteFileText(73, Endung, Bytes);
  kx::CloseFile(73);
  return 1;
}

int32_t Anzahldatei_Schreiben() {
  kx::ThreadStringStart();
  kx::StringScope scope;
  if (!kx::NewFile(42, kx::Text() << Tempdir << "Anz.txt")) return 0;
  kx::WriteFileText(42, kx::QuadToString(Splitt_Dateien_Anzahl.load(), kx::Here), Bytes);
  kx::CloseFile(42);
  return 1;
}

char* Anzahldatei_Lesen(int32_t mark) {
  kx::ThreadStringStart();
  intptr_t geoeffnet;
  {
    kx::SetStringMark(mark);
    geoeffnet = kx::OpenFile(37, kx::Text() << Tempdir << "AnzEmpf.txt");
  }
  if (!geoeffnet) return kx::ReturnString("", 0, mark);
  kx::ReadFileLine(37, Bytes, mark);
  kx::CloseFile(37);
  return kx::GetStringBufferBase() + mark;
}

}  // namespace velmora
