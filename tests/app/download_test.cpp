// The download pipeline against the real web side (nginx) of transfers that
// the upload pipeline stored through the real FTP server (pyftpdlib): what
// arrives in the folder chosen in the save requester, the messages, and the
// faults a receiver meets (a wrong code, a cancelled requester, a part
// missing or damaged on the server).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/download.h"
#include "app/fenster.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/files/pack.h"
#include "tests/app/pipeline_support.h"

using namespace velmora;
using namespace pipetest;

namespace {

const char* const Erfolg = "Der Download wurde erfolgreich abgeschlossen!!!";
const char* const UngueltigerCode =
    "Der eingegebene Code ist leider ung\xFCltig. Bitte den richtigen Code eingeben.";

class DownloadTest : public Programm {
 protected:
  // Sends what the path globals name and returns the code shown.
  std::string Hochladen() {
    kx::ClearGadgetItems(ListIcon_0);
    Senden();
    if (!UploadFertig(180000)) return "";
    Warten([&] { return !bediener_.codes().empty(); }, 5000);
    // The code window's clean-up ends before anything else starts.
    Warten(AlleThreadsBeendet, 10000);
    return bediener_.codes().empty() ? "" : bediener_.codes().back();
  }
  std::string DateiSenden(const std::string& name, const std::string& inhalt) {
    EXPECT_TRUE(kxtest::WriteBytes(lokal(name), inhalt));
    Setzen(&Upload_Datei_Pfad, lokal(name));
    Setzen(&Upload_Ordner_Pfad, "");
    return Hochladen();
  }
  // Receives the code into the folder `ziel` (below the test's folder).
  bool Holen(const std::string& code, const std::string& ziel) {
    Empfangen(code, ziel.empty() ? "" : lokal(ziel));
    return DownloadFertig(180000);
  }
  bool Erfolgreich() const { return bediener_.hatMeldung("Download abgeschlossen", Erfolg); }
  bool Knopf17Frei() const { return kx::GetGadgetState(Button_0) == 0 && IsWindowEnabled(kx::GadgetID(Button_0)); }
};

// A folder of two files and a subfolder, sent and received: both files land
// byte for byte in the folder chosen, the joined archive and the received
// parts are gone, and the success message comes with its title.
TEST_F(DownloadTest, FolderArrivesInTheChosenFolderWithTheSuccessMessage) {
  ASSERT_TRUE(CreateDirectoryA(lokal("Urlaub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(lokal("Urlaub\\Unterordner").c_str(), nullptr));
  const std::string bild = Zufallsbytes(2300000, 5);
  ASSERT_TRUE(kxtest::WriteBytes(lokal("Urlaub\\strand.jpg"), bild));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("Urlaub\\liste.txt"), "Sonnencreme\r\nHut\r\n"));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("Urlaub\\Unterordner\\nicht.txt"), "bleibt daheim"));
  Setzen(&Upload_Ordner_Pfad, lokal("Urlaub\\"));
  Auswahl_Zuletzt = Auswahl_Ordner;
  const std::string code = Hochladen();
  ASSERT_EQ(code, "1");

  ASSERT_TRUE(Holen(code, "Empfangen"));
  ASSERT_TRUE(bediener_.warteAufMeldung("Download abgeschlossen", 5000));
  EXPECT_TRUE(Erfolgreich());
  EXPECT_TRUE(kxtest::ReadBytes(lokal("Empfangen\\strand.jpg")) == bild);
  EXPECT_EQ(kxtest::ReadBytes(lokal("Empfangen\\liste.txt")), "Sonnencreme\r\nHut\r\n");
  EXPECT_FALSE(kxtest::Exists(lokal("Empfangen\\nicht.txt")));
  EXPECT_FALSE(kxtest::Exists(lokal("Empfangen.zip")));
  EXPECT_FALSE(kxtest::Exists(S(Ordner.TempEmpfangOrdnerPfad)));
  EXPECT_EQ(Aktuelle_Download_Datei.load(), 3.0f);
  EXPECT_EQ(kx::GetGadgetState(ProgressBar_4), 100);
  EXPECT_EQ(kx::GetGadgetState(ProgressBar_5), 100);
  EXPECT_TRUE(Knopf17Frei());
  EXPECT_EQ(bediener_.meldungen().size(), 1u);
}

// Sizes at the edges: an empty file, an archive of exactly two parts' bytes
// (its third part is empty), and 30 MB.
TEST_F(DownloadTest, EmptyFileExactPartMultipleAndThirtyMegabytesArriveWhole) {
  // The empty file.
  std::string code = DateiSenden("leer.txt", "");
  ASSERT_EQ(code, "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "1");
  ASSERT_TRUE(Holen(code, "leer"));
  EXPECT_TRUE(Erfolgreich());
  EXPECT_TRUE(kxtest::Exists(lokal("leer\\leer.txt")));
  EXPECT_EQ(kxtest::ReadBytes(lokal("leer\\leer.txt")), "");

  // A file whose archive has exactly 2,000,000 bytes: the archive's overhead
  // for this name is found by packing once.
  const std::string probe = lokal("genau.bin");
  size_t groesse = 1999000;
  for (int runde = 0; runde < 5; ++runde) {
    ASSERT_TRUE(kxtest::WriteBytes(probe, Zufallsbytes(groesse, 9)));
    const std::string zip = lokal("probe.zip");
    DeleteFileA(zip.c_str());
    kx::PackFile(zip.c_str(), probe.c_str(), 1);
    const size_t archiv = kxtest::ReadBytes(zip).size();
    if (archiv == 2000000) break;
    groesse = groesse + 2000000 - archiv;
  }
  const std::string genau = Zufallsbytes(groesse, 9);
  Setzen(&Upload_Datei_Pfad, probe);
  code = Hochladen();
  ASSERT_EQ(code, "2");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\2\\Anz.txt")), "3");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\2\\3.quon")), "");
  ASSERT_TRUE(Holen(code, "genau"));
  EXPECT_TRUE(kxtest::ReadBytes(lokal("genau\\genau.bin")) == genau);

  // 30 MB.
  const std::string gross = Zufallsbytes(30000000, 13);
  code = DateiSenden("gross.iso", gross);
  ASSERT_EQ(code, "3");
  ASSERT_TRUE(Holen(code, "gross"));
  EXPECT_TRUE(kxtest::ReadBytes(lokal("gross\\gross.iso")) == gross);
  EXPECT_EQ(bediener_.meldungen().size(), 3u);
  for (const Meldung& m : bediener_.meldungen()) EXPECT_EQ(m.titel, "Download abgeschlossen") << m.text;
}

// A code with no transfer, and a cancelled save requester for a valid one:
// the message titled "Fehler", button 17 free again, and nothing else: no
// archive, no success message, every thread of the download ended.
TEST_F(DownloadTest, InvalidCodeAndCancelledRequesterShowTheCodeMessageOnly) {
  ASSERT_TRUE(Holen("77", "nichts"));
  ASSERT_TRUE(bediener_.warteAufMeldung("Fehler", 5000));
  EXPECT_TRUE(bediener_.hatMeldung("Fehler", UngueltigerCode));
  EXPECT_FALSE(kxtest::Exists(lokal("nichts.zip")));
  EXPECT_FALSE(kxtest::Exists(lokal("nichts")));
  EXPECT_TRUE(Knopf17Frei());

  const std::string code = DateiSenden("da.txt", "da");
  ASSERT_EQ(code, "1");
  ASSERT_TRUE(Holen(code, ""));
  ASSERT_EQ(bediener_.meldungen().size(), 2u);
  EXPECT_EQ(bediener_.meldungen()[1].titel, "Fehler");
  EXPECT_EQ(bediener_.meldungen()[1].text, UngueltigerCode);
  EXPECT_FALSE(Erfolgreich());
  EXPECT_TRUE(Knopf17Frei());
}

// A part deleted on the web side: fewer parts than the count file says, so
// no success but the message of an incomplete download; the received parts
// and the archive are removed, button 17 is free.  A part with one byte
// flipped: all parts arrive, but the unpack finds the damage.
TEST_F(DownloadTest, MissingOrDamagedPartIsReportedInsteadOfSuccess) {
  const std::string inhalt = Zufallsbytes(3200000, 17);
  const std::string code = DateiSenden("daten.bin", inhalt);
  ASSERT_EQ(code, "1");
  const std::string teil3 = server_.root("SPLIT\\1\\3.quon");
  const std::string gesichert = kxtest::ReadBytes(teil3);
  ASSERT_EQ(gesichert.size(), 1000000u);

  ASSERT_TRUE(DeleteFileA(teil3.c_str()));
  ASSERT_TRUE(Holen(code, "fehlt"));
  ASSERT_TRUE(bediener_.warteAufMeldung("Fehler", 5000));
  EXPECT_TRUE(bediener_.hatMeldung("Fehler", Download_Unvollstaendig));
  EXPECT_FALSE(Erfolgreich());
  EXPECT_FALSE(kxtest::Exists(lokal("fehlt.zip")));
  EXPECT_FALSE(kxtest::Exists(S(Ordner.TempEmpfangOrdnerPfad)));
  EXPECT_TRUE(Knopf17Frei());

  std::string kaputt = gesichert;
  kaputt[123456] = char(kaputt[123456] ^ 0x20);
  ASSERT_TRUE(kxtest::WriteBytes(teil3, kaputt));
  ASSERT_TRUE(Holen(code, "kaputt"));
  ASSERT_EQ(bediener_.meldungen().size(), 2u);
  EXPECT_EQ(bediener_.meldungen()[1].titel, "Fehler");
  EXPECT_EQ(bediener_.meldungen()[1].text, Download_Beschaedigt);
  EXPECT_FALSE(Erfolgreich());
  EXPECT_FALSE(kxtest::Exists(lokal("kaputt.zip")));
  EXPECT_TRUE(Knopf17Frei());

  // Repaired on the server, the same code arrives whole.
  ASSERT_TRUE(kxtest::WriteBytes(teil3, gesichert));
  ASSERT_TRUE(Holen(code, "heil"));
  EXPECT_TRUE(Erfolgreich());
  EXPECT_TRUE(kxtest::ReadBytes(lokal("heil\\daten.bin")) == inhalt);
}

}  // namespace
