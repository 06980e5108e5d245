// Start values and the small local records of a transfer: the private and
// persistent folders, the access file, the resume record, the extension and
// count files.
#include "app/layout.h"

#include <windows.h>
#include <objbase.h>

#include <initializer_list>

#include "app/globals.h"
#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/files/base64.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"

namespace velmora {

namespace {

constexpr int32_t Bytes = 0;  // text format: the bytes as they are

// variable = the pieces joined (string variables or literals, no temporaries).
void Verbinden(char** variable, std::initializer_list<const char*> pieces) {
  int32_t mark = kx::GetStringMark();
  for (const char* piece : pieces) kx::AppendString(piece);
  kx::AssignFromBuffer(variable, mark);
}

// The pieces joined as a temporary at the current position; returns its mark.
int32_t Pfad(std::initializer_list<const char*> pieces) {
  int32_t mark = kx::GetStringMark();
  for (const char* piece : pieces) kx::AppendString(piece);
  return mark;
}

char* Text(int32_t mark) { return kx::GetStringBufferBase() + mark; }

}  // namespace

// ---- start-up ---------------------------------------------------------------------

char* MakeGUID(int32_t mark) {
  kx::ThreadStringStart();
  // StringFromGUID2 writes 38 characters and the zero; room for one more.
  wchar_t text[40] = {};
  if (CoCreateGuid(reinterpret_cast<::GUID*>(&GUID)) != S_OK) return kx::ReturnString("", 0, mark);
  int length = StringFromGUID2(*reinterpret_cast<const ::GUID*>(&GUID), text, 40);
  return kx::PeekText(text, length, kx::FormatUtf16, mark);
}

void Startwerte() {
  kx::ThreadStringStart();
  int32_t mark = kx::GetStringMark();

  kx::GetTempDirectory(mark);
  MakeGUID(kx::GetStringMark());
  kx::AppendString("\\");
  kx::AssignFromBuffer(&mytempdir, mark);
  kx::AssignString(&Tempdir, mytempdir);
  kx::MakeDirectory(Tempdir);

  kx::GetTempDirectory(mark);
  kx::AppendString("Velmora\\");
  kx::AssignFromBuffer(&Templog, mark);
  if (kx::FileSize(Templog) != -2) kx::MakeDirectory(Templog);

  Verbinden(&MyZIP, {Tempdir, ArchivName});
  PacketGrose = 1000000;
  Verbinden(&Ordner.TempEmpfangOrdnerPfad, {Tempdir, "Empf"});
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
  kx::AssignString(&Fehler.Download_Fehlgeschlagen, "Der Download der ersten Datei ist fehlgeschlagen");
  kx::AssignString(&Fehler.TempEmpfangOrdner, "Die Temp Empfangordner konnte nicht erstellt werden");
  kx::AssignString(&Namen.Titel_Auswahlfenster, "Auswahlfenster");
  kx::AssignString(&Namen.Text_Auswahlfenster,
                   "Bitte w\xE4hlen sie eine Datei oder ein Verzeichnis aus, das hochgeladen werden soll.");

  Connect.serverid = 1;
  Connect.port = 21;
  kx::AssignString(&Ordner.FTPOrdner, "SPLIT");
  Verbinden(&Ordner.TempSplitOrdnerPfad, {Tempdir, "SPLIT\\"});
  kx::AssignString(&Version.Titel, "Velmora v 1.0 Release");
}

// ---- access file ------------------------------------------------------------------

int32_t Zugangsdatei_Schreiben(const char* ip, const char* domain, const char* user, const char* pw,
                               char** kodiert) {
  kx::ThreadStringStart();
  const char* werte[4] = {ip, domain, user, pw};
  for (const char* wert : werte) {
    // 766 bytes would need 1024 Base64 characters and the zero 1025.
    if (kx::StringLength(wert) > ZugangWertHoechstens) return ZugangWertZuLang;
  }

  char* texte[4] = {};
  int32_t mark = kx::GetStringMark();
  for (int i = 0; i < 4; ++i) {
    kx::Space(ZugangRaum, mark);
    kx::AssignFromBuffer(&texte[i], mark);
    int32_t length = kx::StringLength(werte[i]);
    // An empty field is stored as an empty line (the encoder refuses length 0).
    if (length > 0) kx::Base64Encode(werte[i], length, texte[i], ZugangRaum);
    else texte[i][0] = 0;
  }

  int32_t result = ZugangDateiFehler;
  if (kx::NewFile(33, Text(Pfad({Templog, Zugangsdatei})))) {
    kx::SetStringMark(mark);
    for (char* text : texte) kx::WriteFileLine(33, text, Bytes);
    kx::CloseFile(33);
    result = ZugangGespeichert;
  }
  kx::SetStringMark(mark);

  for (int i = 0; i < 4; ++i) {
    if (kodiert) kx::AssignString(&kodiert[i], texte[i]);
    kx::FreeString(texte[i]);
  }
  return result;
}

int32_t Zugangsdatei_Lesen() {
  kx::ThreadStringStart();
  Zugang = 0;
  int32_t mark = kx::GetStringMark();
  intptr_t geoeffnet = kx::OpenFileForReading(33, Text(Pfad({Templog, Zugangsdatei})));
  kx::SetStringMark(mark);
  if (!geoeffnet) return 0;

  char** zeilen[4] = {&Zeilea, &Zeileb, &Zeilec, &Zeiled};
  char** werte[4] = {&a, &b, &c, &d};
  for (char** zeile : zeilen) {
    kx::ReadFileLine(33, Bytes, mark);
    kx::AssignFromBuffer(zeile, mark);
  }
  kx::CloseFile(33);

  // A line that would decode to more than the 1024 bytes of room makes the
  // file unusable as a whole, rather than a value cut somewhere.
  for (char** zeile : zeilen) {
    if (kx::StringLength(*zeile) / 4 * 3 + 1 > ZugangRaum) return 0;
  }
  for (int i = 0; i < 4; ++i) {
    kx::Space(ZugangRaum, mark);
    kx::AssignFromBuffer(werte[i], mark);
    int32_t length = kx::StringLength(*zeilen[i]);
    if (length > 0) kx::Base64Decode(*zeilen[i], length, *werte[i], ZugangRaum);
    else (*werte[i])[0] = 0;
  }
  kx::AssignString(&Connect.ip, a);
  kx::AssignString(&Connect.Domain, b);
  kx::AssignString(&Connect.user, c);
  kx::AssignString(&Connect.pw, d);
  Zugang = 1;
  return Zugang;
}

// ---- resume record ----------------------------------------------------------------

int32_t Infos_Schreiben(int64_t erfolgreich) {
  kx::ThreadStringStart();
  int32_t mark = kx::GetStringMark();
  intptr_t geoeffnet = kx::NewFile(419, Text(Pfad({Templog, Fortsetzungsdatei})));
  kx::SetStringMark(mark);
  if (!geoeffnet) return 0;

  auto zeile = [mark](const char* key, const char* value) {
    kx::AppendString(key);
    kx::AppendString(value);
    kx::WriteFileLine(419, Text(mark), Bytes);
    kx::SetStringMark(mark);
  };
  auto zahl = [mark](const char* key, int64_t value) {
    kx::AppendString(key);
    kx::QuadToString(value, kx::GetStringMark());
    kx::WriteFileLine(419, Text(mark), Bytes);
    kx::SetStringMark(mark);
  };
  zeile("TempPfad", Ordner.TempSplitOrdnerPfad);
  zahl("Erfolgreich", erfolgreich);
  zahl("Serverordner", OrdnerZahl);
  zeile("Dateipfad", Upload_Datei_Pfad);
  zahl("Splitanzahl", Splitt_Dateien_Anzahl);
  zeile("PackSize", Upload_Pack_Datei_Size);
  kx::CloseFile(419);
  return 1;
}

int32_t Infos_Lesen() {
  kx::ThreadStringStart();
  int32_t mark = kx::GetStringMark();
  intptr_t geoeffnet = kx::OpenFileForReading(55, Text(Pfad({Templog, Fortsetzungsdatei})));
  kx::SetStringMark(mark);
  if (!geoeffnet) return 0;
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
    char* text = kx::ReadFileLine(55, Bytes, mark);
    kx::MidString(text, kx::StringLength(zeile.key) + 1, InfosWertHoechstens, mark);
    kx::AssignFromBuffer(zeile.variable, mark);
  }
  kx::AssignString(&Upload_Datei_Pfad, Dateipfad);
  Splitt_Dateien_Anzahl = kx::ValueOfString(anzahl);
  kx::FreeString(anzahl);
  kx::CloseFile(55);
  return 1;
}

// ---- extension and count files ----------------------------------------------------

int32_t Endungsdatei_Schreiben() {
  kx::ThreadStringStart();
  int32_t mark = kx::GetStringMark();
  kx::GetExtensionPart(Upload_Datei_Pfad, mark);
  kx::AssignFromBuffer(&Endung, mark);

  int32_t pfad = Pfad({Tempdir, "dd.txt"});
  kx::RemoveFile(Text(pfad));
  intptr_t geoeffnet = kx::NewFile(73, Text(pfad));
  kx::SetStringMark(mark);
  if (!geoeffnet) return 0;
  kx::WriteFileText(73, Endung, Bytes);
  kx::CloseFile(73);
  return 1;
}

int32_t Anzahldatei_Schreiben() {
  kx::ThreadStringStart();
  int32_t mark = kx::GetStringMark();
  intptr_t geoeffnet = kx::NewFile(42, Text(Pfad({Tempdir, "Anz.txt"})));
  kx::SetStringMark(mark);
  if (!geoeffnet) return 0;
  kx::WriteFileText(42, kx::QuadToString(Splitt_Dateien_Anzahl, mark), Bytes);
  kx::SetStringMark(mark);
  kx::CloseFile(42);
  return 1;
}

char* Anzahldatei_Lesen(int32_t mark) {
  kx::ThreadStringStart();
  kx::SetStringMark(mark);
  intptr_t geoeffnet = kx::OpenFile(37, Text(Pfad({Tempdir, "AnzEmpf.txt"})));
  if (!geoeffnet) return kx::ReturnString("", 0, mark);
  kx::ReadFileLine(37, Bytes, mark);
  kx::CloseFile(37);
  return Text(mark);
}

}  // namespace velmora
