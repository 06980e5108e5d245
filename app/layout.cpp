// Start values and the small local records of a transfer: the private and
// persistent folders, the access file, the resume record, the extension and
// count files.
#include "app/layout.h"

#include <windows.h>
#include <objbase.h>

#include <initializer_list>

#include "app/debugger.h"
#include "app/globals.h"
#include "app/privat.h"
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
  PROZEDUR(Startwerte);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;

  Z_ kx::Assign(mytempdir, kx::Text() << kx::GetTempDirectory(kx::Here) << MakeGUID(kx::Here) << "\\");
  Z_ kx::Assign(Tempdir, mytempdir);
  Z_ kx::MakeDirectory(Tempdir);

  Z_ kx::Assign(Templog, kx::Text() << kx::GetTempDirectory(kx::Here) << "Velmora\\");
  Z_ if (kx::FileSize(Templog) != -2) kx::MakeDirectory(Templog);

  Z_ kx::Assign(MyZIP, kx::Text() << Tempdir << ArchivName);
  Z_ PacketGrose = 1000000;
  Z_ kx::Assign(Ordner.TempEmpfangOrdnerPfad, kx::Text() << Tempdir << "Empf");
  Z_ Zusammen.PacketGrosse = 2000000;

  // The texts are Windows-1252 bytes, as the runtime's ANSI strings are.
  Z_ kx::AssignString(&Fehler.Auswahlfenster_UngueltigerPfad,
                   "Der Pfad ist leider Ungültig. Bitte Pfad überprüfen.");
  Z_ kx::AssignString(&Fehler.CodeOrdnerUngultig,
                   "Der eingegebene Code ist leider ungültig. Bitte den richtigen Code eingeben.");
  Z_ kx::AssignString(&Fehler.FTPConnect,
                   "Es konnte keine Verbindung zum FTP Server hergestellt werden. Entweder es besteht "
                   "keine Internet Verbindung oder die Firewall blockiert den Zugriff");
  Z_ kx::AssignString(&Fehler.Endung,
                   "Die Endung konnte nicht Definiert werden. Bitte benachrichtigen sie den Webmaster.");
  Z_ kx::Assign(Fehler.Download_Fehlgeschlagen, "Der Download der ersten Datei ist fehlgeschlagen");
  Z_ kx::Assign(Fehler.TempEmpfangOrdner, "Die Temp Empfangordner konnte nicht erstellt werden");
  Z_ kx::Assign(Namen.Titel_Auswahlfenster, "Auswahlfenster");
  Z_ kx::AssignString(&Namen.Text_Auswahlfenster,
                   "Bitte wählen sie eine Datei oder ein Verzeichnis aus, das hochgeladen werden soll.");

  Z_ Connect.serverid = 1;
  Z_ Connect.port = 21;
  Z_ kx::Assign(Ordner.FTPOrdner, "SPLIT");
  Z_ kx::Assign(Ordner.TempSplitOrdnerPfad, kx::Text() << Tempdir << "SPLIT\\");
  Z_ kx::AssignString(&Version.Text,
                   "Velmora v 1.0 Release\r\n© 2026 Die Velmora-Entwickler\r\nhttps://velmora.example.org/");
  kx::Assign(Version.Titel, "Velmora v 1.0 Release");
  Z_ Einstellungen_Lesen();
}

// ---- access file ------------------------------------------------------------------

int32_t Zugangsdatei_Schreiben(const char* ip, const char* domain, const char* user, const char* pw,
                               char** kodiert) {
  PROZEDUR(Zugangsdatei_Schreiben, ip, domain, user, pw, kodiert);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ const char* werte[4] = {ip, domain, user, pw};
  Z_ for (const char* wert : werte) {
    // 766 bytes would need 1024 Base64 characters and the zero 1025.
    Z_ if (kx::StringLength(wert) > ZugangWertHoechstens) return ZugangWertZuLang;
  }

  Z_ char* texte[4] = {};
  Z_ for (int i = 0; i < 4; ++i) {
    Z_ kx::Assign(texte[i], kx::Space(ZugangRaum, kx::Here));
    Z_ int32_t length = kx::StringLength(werte[i]);
    // An empty field is stored as an empty line (the encoder refuses length 0).
    Z_ if (length > 0) kx::Base64Encode(werte[i], length, texte[i], ZugangRaum);
    else texte[i][0] = 0;
  }

  Z_ int32_t result = ZugangDateiFehler;
  Z_ if (kx::NewFile(33, kx::Text() << Templog << Zugangsdatei)) {
    Z_ for (char* text : texte) kx::WriteFileLine(33, text, Bytes);
    Z_ kx::CloseFile(33);
    Z_ result = ZugangGespeichert;
  }
  Z_ for (int i = 0; i < 4; ++i) {
    Z_ if (kodiert) kx::Assign(kodiert[i], texte[i]);
    Z_ kx::FreeString(texte[i]);
  }
  Z_ return result;
}

int32_t Zugangsdatei_Lesen() {
  PROZEDUR(Zugangsdatei_Lesen);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ Zugang = 0;
  Z_ if (!kx::OpenFileForReading(33, kx::Text() << Templog << Zugangsdatei)) return 0;

  Z_ char** zeilen[4] = {&Zeilea, &Zeileb, &Zeilec, &Zeiled};
  Z_ char** werte[4] = {&a, &b, &c, &d};
  Z_ for (char** zeile : zeilen) kx::Assign(*zeile, kx::ReadFileLine(33, Bytes, kx::Here));
  Z_ kx::CloseFile(33);

  // A line that would decode to more than the 1024 bytes of room makes the
  // file unusable as a whole, rather than a value cut somewhere.
  Z_ for (char** zeile : zeilen) {
    Z_ if (kx::StringLength(*zeile) / 4 * 3 + 1 > ZugangRaum) return 0;
  }
  Z_ for (int i = 0; i < 4; ++i) {
    Z_ kx::Assign(*werte[i], kx::Space(ZugangRaum, kx::Here));
    Z_ int32_t length = kx::StringLength(*zeilen[i]);
    Z_ if (length > 0) kx::Base64Decode(*zeilen[i], length, *werte[i], ZugangRaum);
    else (*werte[i])[0] = 0;
  }
  Z_ kx::Assign(Connect.ip, a);
  Z_ kx::Assign(Connect.Domain, b);
  Z_ kx::Assign(Connect.user, c);
  Z_ kx::Assign(Connect.pw, d);
  Z_ Zugang = 1;
  Z_ return Zugang;
}

// ---- resume record ----------------------------------------------------------------

int32_t Infos_Schreiben(int64_t erfolgreich) {
  PROZEDUR(Infos_Schreiben, erfolgreich);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ if (!kx::NewFile(419, kx::Text() << Templog << Fortsetzungsdatei)) return 0;
  Z_ kx::WriteFileLine(419, kx::Text() << "TempPfad" << Ordner.TempSplitOrdnerPfad, Bytes);
  Z_ kx::WriteFileLine(419, kx::Text() << "Erfolgreich" << erfolgreich, Bytes);
  Z_ kx::WriteFileLine(419, kx::Text() << "Serverordner" << OrdnerZahl.load(), Bytes);
  Z_ kx::WriteFileLine(419, kx::Text() << "Dateipfad" << Upload_Datei_Pfad, Bytes);
  Z_ kx::WriteFileLine(419, kx::Text() << "Splitanzahl" << Splitt_Dateien_Anzahl.load(), Bytes);
  Z_ kx::WriteFileLine(419, kx::Text() << "PackSize" << Upload_Pack_Datei_Size, Bytes);
  // A private upload: its secret, so that a resumed upload shows the same code.
  Z_ if (kx::StringLength(Geheimnis) > 0) kx::WriteFileLine(419, kx::Text() << "Geheimnis" << Geheimnis, Bytes);
  Z_ kx::CloseFile(419);
  Z_ return 1;
}

int32_t Infos_Lesen() {
  PROZEDUR(Infos_Lesen);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ if (!kx::OpenFileForReading(55, kx::Text() << Templog << Fortsetzungsdatei)) return 0;
  Z_ Upload_fortsetzen = 5;

  Z_ char* anzahl = nullptr;
  Z_ struct {
    const char* key;
    char** variable;
  } zeilen[7] = {{"TempPfad", &TempPfad},          {"Erfolgreich", &ErfolgreichUbertragen},
                 {"Serverordner", &Serverordner},  {"Dateipfad", &Dateipfad},
                 {"Splitanzahl", &anzahl},         {"PackSize", &Upload_Pack_Datei_Size},
                 {"Geheimnis", &Geheimnis}};  // missing in a record of a plain upload: ""
  Z_ for (auto& zeile : zeilen) {
    // The value follows its key; the key itself is not compared.
    Z_ const int32_t start = kx::StringLength(zeile.key) + 1;
    Z_ kx::Assign(*zeile.variable,
               kx::MidString(kx::ReadFileLine(55, Bytes, kx::Here), start, InfosWertHoechstens, kx::Here));
  }
  Z_ kx::Assign(Upload_Datei_Pfad, Dateipfad);
  Z_ Splitt_Dateien_Anzahl = kx::ValueOfString(anzahl);
  Z_ kx::FreeString(anzahl);
  Z_ kx::CloseFile(55);
  Z_ return 1;
}

// ---- extension and count files ----------------------------------------------------

int32_t Endungsdatei_Schreiben() {
  PROZEDUR(Endungsdatei_Schreiben);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ kx::Assign(Endung, kx::GetExtensionPart(Upload_Datei_Pfad, kx::Here));
  // A private upload tells nothing about what it holds.
  Z_ if (kx::StringLength(Geheimnis) > 0) kx::Assign(Endung, "");
  Z_ kx::Text pfad;
  Z_ pfad << Tempdir << "dd.txt";
  Z_ kx::RemoveFile(pfad);
  Z_ if (!kx::NewFile(73, pfad)) return 0;
  Z_ kx::WriteFileText(73, Endung, Bytes);
  Z_ kx::CloseFile(73);
  Z_ return 1;
}

int32_t Anzahldatei_Schreiben() {
  PROZEDUR(Anzahldatei_Schreiben);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ if (!kx::NewFile(42, kx::Text() << Tempdir << "Anz.txt")) return 0;
  Z_ kx::WriteFileText(42, kx::QuadToString(Splitt_Dateien_Anzahl.load(), kx::Here), Bytes);
  Z_ kx::CloseFile(42);
  Z_ return 1;
}

char* Anzahldatei_Lesen(int32_t mark) {
  PROZEDUR(Anzahldatei_Lesen, mark);
  Z_ kx::ThreadStringStart();
  Z_ intptr_t geoeffnet;
  {
    Z_ kx::SetStringMark(mark);
    Z_ geoeffnet = kx::OpenFile(37, kx::Text() << Tempdir << "AnzEmpf.txt");
  }
  Z_ if (!geoeffnet) return kx::ReturnString("", 0, mark);
  Z_ kx::ReadFileLine(37, Bytes, mark);
  Z_ kx::CloseFile(37);
  Z_ return kx::GetStringBufferBase() + mark;
}

}  // namespace velmora
