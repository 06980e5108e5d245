// The local side of a transfer: the folders made at start, the parts of an
// archive and their joining, the access file and the resume record.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/layout.h"
#include "runtime/core/strings.h"
#include "tests/support/report_recorder.h"
#include "tests/support/temp_folder.h"

using namespace velmora;

namespace {

// The checks read and write with the system's own calls.
std::string Lesen(const std::string& file) { return kxtest::ReadBytes(file); }
void Schreiben(const std::string& file, const std::string& bytes) {
  ASSERT_TRUE(kxtest::WriteBytes(file, bytes)) << file;
}
bool Existiert(const std::string& path) { return kxtest::Exists(path); }
bool IstOrdner(const std::string& path) { return kxtest::IsFolder(path); }
void Entfernen(const std::string& folder) { kxtest::RemoveTree(folder); }

// Bytes that differ from part to part and inside a part.
std::string Archivbytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 2463534242u;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<char>(x);
  }
  return bytes;
}

std::string S(const char* text) { return text ? text : ""; }

void Setzen(char** variable, const std::string& text) { kx::AssignString(variable, text.c_str()); }

// Each test runs with the system's temporary folder redirected to a folder
// of its own, as a fresh start of the program would see it.
class Layout : public testing::Test {
 protected:
  void SetUp() override {
    char base[MAX_PATH + 1];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    temp_ = std::string(base) + "velmora_app_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter) + "\\";
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    GetEnvironmentVariableA("TMP", oldTmp_, sizeof oldTmp_);
    GetEnvironmentVariableA("TEMP", oldTemp_, sizeof oldTemp_);
    SetEnvironmentVariableA("TMP", temp_.c_str());
    SetEnvironmentVariableA("TEMP", temp_.c_str());
    Startwerte();
  }
  void TearDown() override {
    // No command of the layout was misused on the way.
    for (const auto& report : recorder_.reports()) ADD_FAILURE() << report.key << ": " << report.text;
    SetEnvironmentVariableA("TMP", oldTmp_);
    SetEnvironmentVariableA("TEMP", oldTemp_);
    Entfernen(temp_.substr(0, temp_.size() - 1));
    for (char** v : {&Upload_Pack_Pfad, &Upload_Datei_Pfad, &Upload_Pack_Datei_Size, &Speicherort, &TempPfad,
                     &ErfolgreichUbertragen, &Serverordner, &Dateipfad, &Connect.ip, &Connect.Domain,
                     &Connect.user, &Connect.pw})
      kx::AssignString(v, nullptr);
    Vorbereiten = 0;
    Splitt_Dateien_Anzahl = 0;
    Aktuelle_Splitt_Datei = 0.0f;
    Aktuelle_Download_Datei = 0.0f;
    OrdnerZahl = 0;
    Upload_fortsetzen = 0;
    Zugang = 0;
  }

  // Lets the splitter cut an archive of these bytes; returns its result.
  int32_t Aufteilen(const std::string& bytes) {
    std::string archiv = S(MyZIP);
    Schreiben(archiv, bytes);
    Setzen(&Upload_Pack_Pfad, archiv);
    return Archiv_Aufteilen();
  }
  std::string Teil(int k) { return S(Ordner.TempSplitOrdnerPfad) + std::to_string(k) + ".quon"; }

  // Hands the sender's parts to the receiving side as the fetch would.
  void Empfangen(int64_t anzahl) {
    std::string empf = S(Ordner.TempEmpfangOrdnerPfad);
    ASSERT_TRUE(CreateDirectoryA(empf.c_str(), nullptr));
    for (int k = 1; k <= anzahl; ++k)
      ASSERT_TRUE(CopyFileA(Teil(k).c_str(), (empf + "\\" + std::to_string(k) + ".quon").c_str(), FALSE));
    Aktuelle_Download_Datei = static_cast<float>(anzahl);
    Setzen(&Speicherort, temp_ + "Urlaub");
  }

  kxtest::ReportRecorder recorder_;
  std::string temp_;
  char oldTmp_[MAX_PATH + 1] = {};
  char oldTemp_[MAX_PATH + 1] = {};
};

bool IstGuidText(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    char ch = text[i];
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? ch != '-' : !((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'))) return false;
  }
  return true;
}

TEST_F(Layout, GuidTextIsBraced8_4_4_4_12CapitalHexAndNewEachTime) {
  int32_t mark = kx::GetStringMark();
  std::string first = MakeGUID(mark);
  kx::SetStringMark(mark);
  EXPECT_TRUE(IstGuidText(first)) << first;
  char data1[9];
  std::snprintf(data1, sizeof data1, "%08X", velmora::GUID.Data1);  // the record behind the text
  EXPECT_EQ(first.substr(1, 8), data1);

  std::string second = MakeGUID(mark);
  kx::SetStringMark(mark);
  EXPECT_TRUE(IstGuidText(second)) << second;
  EXPECT_NE(first, second);

  // Built at the mark like any string result: it joins onto what is there.
  kx::AppendString("Temp\\");
  MakeGUID(kx::GetStringMark());
  std::string joined = kx::GetStringBufferBase() + mark;
  kx::SetStringMark(mark);
  EXPECT_EQ(joined.substr(0, 5), "Temp\\");
  EXPECT_TRUE(IstGuidText(joined.substr(5))) << joined;
}

TEST_F(Layout, StartMakesPrivateAndPersistentFolders) {
  std::string tempdir = S(Tempdir);
  ASSERT_EQ(tempdir.size(), temp_.size() + 39);
  EXPECT_EQ(tempdir.substr(0, temp_.size()), temp_);
  EXPECT_TRUE(IstGuidText(tempdir.substr(temp_.size(), 38))) << tempdir;
  EXPECT_EQ(tempdir.back(), '\\');
  EXPECT_EQ(S(mytempdir), tempdir);
  EXPECT_TRUE(IstOrdner(tempdir));

  EXPECT_EQ(S(Templog), temp_ + "Velmora\\");
  EXPECT_TRUE(IstOrdner(temp_ + "Velmora"));
  EXPECT_EQ(S(MyZIP), tempdir + "Velmora.zip");
  EXPECT_EQ(S(Ordner.TempSplitOrdnerPfad), tempdir + "SPLIT\\");
  EXPECT_EQ(S(Ordner.TempEmpfangOrdnerPfad), tempdir + "Empf");
  EXPECT_EQ(S(Ordner.FTPOrdner), "SPLIT");
  EXPECT_EQ(PacketGrose, 1000000);
  EXPECT_EQ(Zusammen.PacketGrosse, 2000000);
  EXPECT_EQ(Connect.serverid, 1);
  EXPECT_EQ(Connect.port, 21);
  EXPECT_EQ(S(Version.Titel), "Velmora v 1.0 Release");
  // The German texts are Latin-1, as the windows show them.
  EXPECT_EQ(S(Fehler.Auswahlfenster_UngueltigerPfad),
            "Der Pfad ist leider Ungültig. Bitte Pfad überprüfen.");
  EXPECT_EQ(S(Namen.Text_Auswahlfenster).substr(0, 12), "Bitte wählen");

  // The next run gets a private folder of its own and keeps the persistent one
  // with what it holds.
  Schreiben(temp_ + "Velmora\\Hash.txt", "x");
  Startwerte();
  EXPECT_NE(S(Tempdir), tempdir);
  EXPECT_TRUE(IstOrdner(S(Tempdir)));
  EXPECT_TRUE(IstOrdner(tempdir));  // not removed at program end
  EXPECT_EQ(Lesen(temp_ + "Velmora\\Hash.txt"), "x");
}

TEST_F(Layout, ArchiveOf2500000BytesGivesThreePartsAndCountThree) {
  std::string bytes = Archivbytes(2500000);
  ASSERT_EQ(Aufteilen(bytes), 1);

  EXPECT_EQ(Splitt_Dateien_Anzahl.load(), 3);
  EXPECT_EQ(Aktuelle_Splitt_Datei.load(), 3.0f);
  EXPECT_EQ(Vorbereiten.load(), 100);
  EXPECT_EQ(Lesen(Teil(1)), bytes.substr(0, 1000000));
  EXPECT_EQ(Lesen(Teil(2)), bytes.substr(1000000, 1000000));
  EXPECT_EQ(Lesen(Teil(3)), bytes.substr(2000000));
  EXPECT_FALSE(Existiert(Teil(4)));

  ASSERT_NE(Anzahldatei_Schreiben(), 0);
  EXPECT_EQ(Lesen(S(Tempdir) + "Anz.txt"), "3");
}

TEST_F(Layout, ExactMultipleOfThePartSizeEndsWithAnEmptyPart) {
  std::string bytes = Archivbytes(2000000);
  ASSERT_EQ(Aufteilen(bytes), 1);
  EXPECT_EQ(Splitt_Dateien_Anzahl.load(), 3);
  EXPECT_EQ(Lesen(Teil(1)), bytes.substr(0, 1000000));
  EXPECT_EQ(Lesen(Teil(2)), bytes.substr(1000000));
  EXPECT_EQ(Lesen(Teil(3)), "");
  // The empty part is written but its write counts nothing.
  EXPECT_EQ(Aktuelle_Splitt_Datei.load(), 2.0f);
  EXPECT_EQ(Vorbereiten.load(), 100);

  EXPECT_EQ(Teilanzahl(0), 1);
  EXPECT_EQ(Teilanzahl(999999), 1);
  EXPECT_EQ(Teilanzahl(1000000), 2);
  EXPECT_EQ(Teilanzahl(3000000000LL), 3001);  // beyond 32 bits
}

TEST_F(Layout, ArchiveThatCannotBeOpenedIsNotSplit) {
  Setzen(&Upload_Pack_Pfad, S(Tempdir) + "fehlt.zip");
  EXPECT_EQ(Archiv_Aufteilen(), 0);
  EXPECT_EQ(Vorbereiten.load(), 0);  // the upload keeps waiting
  EXPECT_FALSE(Existiert(Teil(1)));
}

TEST_F(Layout, FailedSecondSplitOfTheRunIsNotReady) {
  ASSERT_EQ(Aufteilen(Archivbytes(1500000)), 1);
  ASSERT_EQ(Vorbereiten.load(), 100);
  Setzen(&Upload_Pack_Pfad, S(Tempdir) + "fehlt.zip");
  EXPECT_EQ(Archiv_Aufteilen(), 0);
  EXPECT_EQ(Vorbereiten.load(), 0);
  EXPECT_EQ(Aktuelle_Splitt_Datei.load(), 0.0f);
}

TEST_F(Layout, PartThatCannotBeCreatedStopsTheSplitShortOfReady) {
  // A file where the parts folder belongs: no part can be created.
  std::string ordner = S(Ordner.TempSplitOrdnerPfad);
  Schreiben(ordner.substr(0, ordner.size() - 1), "im Weg");
  EXPECT_EQ(Aufteilen(Archivbytes(1500000)), 0);
  EXPECT_EQ(Vorbereiten.load(), 0);
  EXPECT_EQ(Aktuelle_Splitt_Datei.load(), 0.0f);
}

TEST_F(Layout, JoiningThePartsGivesTheArchiveBackAndRemovesThem) {
  std::string bytes = Archivbytes(3500001);
  ASSERT_EQ(Aufteilen(bytes), 1);
  ASSERT_EQ(Splitt_Dateien_Anzahl.load(), 4);
  Empfangen(4);
  Schreiben(S(Tempdir) + "txt.txt", "pdf");

  ASSERT_EQ(Teile_Zusammenfuegen(), 1);
  std::string joined = Lesen(temp_ + "Urlaub.zip");
  ASSERT_EQ(joined.size(), bytes.size());
  EXPECT_TRUE(joined == bytes);
  EXPECT_FALSE(Existiert(S(Ordner.TempEmpfangOrdnerPfad)));  // every part closed and deleted
  EXPECT_FALSE(Existiert(S(Tempdir) + "txt.txt"));
}

TEST_F(Layout, JoiningAnEmptyArchive) {
  ASSERT_EQ(Aufteilen(""), 1);
  ASSERT_EQ(Splitt_Dateien_Anzahl.load(), 1);
  EXPECT_EQ(Lesen(Teil(1)), "");
  Empfangen(1);
  Schreiben(temp_ + "Urlaub.zip", "old content");  // an existing archive is emptied

  ASSERT_EQ(Teile_Zusammenfuegen(), 1);
  EXPECT_EQ(Lesen(temp_ + "Urlaub.zip"), "");
}

TEST_F(Layout, JoinSkipsAMissingPartAndCopiesAnOversizedOneWhole) {
  std::string ordner = S(Ordner.TempEmpfangOrdnerPfad) + "\\";
  std::string eins = Archivbytes(1000000), drei = Archivbytes(2500000).substr(7);
  ASSERT_TRUE(CreateDirectoryA(ordner.c_str(), nullptr));
  Schreiben(ordner + "1.quon", eins);
  Schreiben(ordner + "3.quon", drei);  // larger than the 2,000,000-byte buffer
  Aktuelle_Download_Datei = 3.0f;
  Setzen(&Speicherort, temp_ + "Teile");

  ASSERT_EQ(Teile_Zusammenfuegen(), 1);
  EXPECT_TRUE(Lesen(temp_ + "Teile.zip") == eins + drei);
}

TEST_F(Layout, JoinThatCannotCreateTheArchiveKeepsTheParts) {
  ASSERT_EQ(Aufteilen(Archivbytes(1200000)), 1);
  Empfangen(2);
  Setzen(&Speicherort, temp_ + "fehlt\\Urlaub");  // a folder that does not exist

  EXPECT_EQ(Teile_Zusammenfuegen(), 0);
  EXPECT_TRUE(Existiert(S(Ordner.TempEmpfangOrdnerPfad) + "\\1.quon"));
  EXPECT_TRUE(Existiert(S(Ordner.TempEmpfangOrdnerPfad) + "\\2.quon"));
}

TEST_F(Layout, AccessFileHoldsFourBase64LinesAndReadsBack) {
  ASSERT_EQ(Zugangsdatei_Schreiben("127.0.0.1", "localhost", "hans", "Grüße!"), ZugangGespeichert);
  EXPECT_EQ(Lesen(S(Templog) + "Hash.txt"), "MTI3LjAuMC4x\r\nbG9jYWxob3N0\r\naGFucw==\r\nR3L832Uh\r\n");

  ASSERT_EQ(Zugangsdatei_Lesen(), 1);
  EXPECT_EQ(Zugang, 1);
  EXPECT_EQ(S(Connect.ip), "127.0.0.1");
  EXPECT_EQ(S(Connect.Domain), "localhost");
  EXPECT_EQ(S(Connect.user), "hans");
  EXPECT_EQ(S(Connect.pw), "Grüße!");
  EXPECT_EQ(S(Zeilec), "aGFucw==");
  EXPECT_EQ(S(a), "127.0.0.1");

  // The access window keeps the Base64 texts; an empty field is an empty line.
  char* kodiert[4] = {};
  ASSERT_EQ(Zugangsdatei_Schreiben("127.0.0.1", "", "hans", "", kodiert), ZugangGespeichert);
  EXPECT_EQ(Lesen(S(Templog) + "Hash.txt"), "MTI3LjAuMC4x\r\n\r\naGFucw==\r\n\r\n");
  EXPECT_EQ(S(kodiert[0]), "MTI3LjAuMC4x");
  EXPECT_EQ(S(kodiert[1]), "");
  for (char* text : kodiert) kx::FreeString(text);
  ASSERT_EQ(Zugangsdatei_Lesen(), 1);
  EXPECT_EQ(S(Connect.Domain), "");
  EXPECT_EQ(S(Connect.user), "hans");
}

TEST_F(Layout, PasswordOf765BytesFitsAndALongerOneIsRefused) {
  std::string pw765(765, 'p');
  pw765[0] = '\xFF';
  ASSERT_EQ(Zugangsdatei_Schreiben("127.0.0.1", "localhost", "hans", pw765.c_str()), ZugangGespeichert);
  std::string datei = Lesen(S(Templog) + "Hash.txt");
  EXPECT_EQ(datei.size(), 12 + 2 + 12 + 2 + 8 + 2 + 1020 + 2u);
  ASSERT_EQ(Zugangsdatei_Lesen(), 1);
  EXPECT_EQ(S(Connect.pw), pw765);

  std::string pw766(766, 'p');
  EXPECT_EQ(Zugangsdatei_Schreiben("127.0.0.1", "localhost", "hans", pw766.c_str()), ZugangWertZuLang);
  EXPECT_EQ(Lesen(S(Templog) + "Hash.txt"), datei);  // the stored data stay
  EXPECT_EQ(Zugangsdatei_Schreiben(pw766.c_str(), "", "", ""), ZugangWertZuLang);
}

TEST_F(Layout, AccessFileMissingOrUndecodableLeavesNoAccess) {
  EXPECT_EQ(Zugangsdatei_Lesen(), 0);
  EXPECT_EQ(Zugang, 0);

  // A line that would decode beyond the 1024 bytes of room.
  Schreiben(S(Templog) + "Hash.txt", "MTI3LjAuMC4x\r\n" + std::string(1368, 'Q') + "\r\naGFucw==\r\naGFucw==\r\n");
  EXPECT_EQ(Zugangsdatei_Lesen(), 0);
  EXPECT_EQ(Zugang, 0);
  EXPECT_EQ(S(Connect.ip), "");
}

TEST_F(Layout, ResumeRecordWrittenAndReadBack) {
  std::string teile = S(Ordner.TempSplitOrdnerPfad);
  OrdnerZahl = 12;
  Splitt_Dateien_Anzahl = 4;
  Setzen(&Upload_Datei_Pfad, "C:\\Daten\\Bericht.pdf");
  Setzen(&Upload_Pack_Datei_Size, "3500000");
  ASSERT_NE(Infos_Schreiben(2), 0);
  EXPECT_EQ(Lesen(S(Templog) + "Infos.txt"),
            "TempPfad" + teile + "\r\nErfolgreich2\r\nServerordner12\r\nDateipfadC:\\Daten\\Bericht.pdf\r\n"
            "Splitanzahl4\r\nPackSize3500000\r\n");

  // A later run reads it back.
  OrdnerZahl = 0;
  Splitt_Dateien_Anzahl = 0;
  Setzen(&Upload_Datei_Pfad, "");
  Setzen(&Upload_Pack_Datei_Size, "");
  ASSERT_EQ(Infos_Lesen(), 1);
  EXPECT_EQ(Upload_fortsetzen.load(), 5);
  EXPECT_EQ(S(TempPfad), teile);
  EXPECT_EQ(S(ErfolgreichUbertragen), "2");
  EXPECT_EQ(S(Serverordner), "12");
  EXPECT_EQ(S(Dateipfad), "C:\\Daten\\Bericht.pdf");
  EXPECT_EQ(S(Upload_Datei_Pfad), "C:\\Daten\\Bericht.pdf");
  EXPECT_EQ(Splitt_Dateien_Anzahl.load(), 4);
  EXPECT_EQ(S(Upload_Pack_Datei_Size), "3500000");
  EXPECT_EQ(OrdnerZahl.load(), 0);  // the code comes back as Serverordner only
}

TEST_F(Layout, ResumeRecordMissingEmptyValuesAndLongValues) {
  EXPECT_EQ(Infos_Lesen(), 0);
  EXPECT_EQ(Upload_fortsetzen.load(), 0);

  // A folder upload has no file path: the line is the bare key.
  Setzen(&Upload_Datei_Pfad, "");
  ASSERT_NE(Infos_Schreiben(0), 0);
  ASSERT_EQ(Infos_Lesen(), 1);
  EXPECT_EQ(S(Dateipfad), "");
  EXPECT_EQ(S(ErfolgreichUbertragen), "0");
  EXPECT_EQ(S(Serverordner), "0");

  // At most 500 characters of a value are taken.
  std::string lang = "C:\\" + std::string(600, 'x');
  Schreiben(S(Templog) + "Infos.txt",
            "TempPfadC:\\t\\\r\nErfolgreich1\r\nServerordner3\r\nDateipfad" + lang + "\r\nSplitanzahl2\r\nPackSize9\r\n");
  ASSERT_EQ(Infos_Lesen(), 1);
  EXPECT_EQ(S(Dateipfad), lang.substr(0, 500));
  EXPECT_EQ(S(Upload_Pack_Datei_Size), "9");
}

TEST_F(Layout, ExtensionAndCountFiles) {
  Setzen(&Upload_Datei_Pfad, "C:\\Daten\\report.pdf");
  Schreiben(S(Tempdir) + "dd.txt", "altes");
  ASSERT_NE(Endungsdatei_Schreiben(), 0);
  EXPECT_EQ(S(Endung), "pdf");
  EXPECT_EQ(Lesen(S(Tempdir) + "dd.txt"), "pdf");

  Setzen(&Upload_Datei_Pfad, "");  // a folder was sent
  ASSERT_NE(Endungsdatei_Schreiben(), 0);
  EXPECT_EQ(Lesen(S(Tempdir) + "dd.txt"), "");

  // The received count file: its first line, or "" (and an empty file) when
  // the fetch brought nothing.
  int32_t mark = kx::GetStringMark();
  EXPECT_EQ(S(Anzahldatei_Lesen(mark)), "");
  kx::SetStringMark(mark);
  EXPECT_EQ(Lesen(S(Tempdir) + "AnzEmpf.txt"), "");
  Schreiben(S(Tempdir) + "AnzEmpf.txt", "17");
  EXPECT_EQ(S(Anzahldatei_Lesen(mark)), "17");
  kx::SetStringMark(mark);
}

}  // namespace
