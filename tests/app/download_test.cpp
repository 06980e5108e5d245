// The download pipeline against the real web side (nginx) of transfers that
// the upload pipeline stored through the real FTP server (pyftpdlib): what
// arrives in the folder chosen in the save requester, the messages, and the
// faults a receiver meets (a wrong code, a cancelled requester, a part
// missing or damaged on the server).  The last cases run Velmora.exe itself
// against transfers laid on the server: a part refused for a while, and a
// download killed half-way that the next start finishes (a part refused for
// good on the way).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/download.h"
#include "app/fenster.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/files/pack.h"
#include "tests/app/pipeline_support.h"
#include "tests/app/transfer_programm.h"

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
  // The cause in a second line: nginx's own status line.
  EXPECT_TRUE(bediener_.hatMeldung("Fehler", std::string(UngueltigerCode) + "\r\nHTTP/1.1 404 Not Found"));
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
  EXPECT_TRUE(bediener_.hatMeldung("Fehler", std::string(Download_Unvollstaendig) + "\r\nHTTP/1.1 404 Not Found"));
  EXPECT_FALSE(Erfolgreich());
  EXPECT_FALSE(kxtest::Exists(lokal("fehlt.zip")));
  // The complete parts stay for the next try, nothing else.
  const std::string teile = S(Ordner.TempEmpfangOrdnerPfad) + "\\";
  EXPECT_TRUE(kxtest::ReadBytes(teile + "2.quon") == kxtest::ReadBytes(server_.root("SPLIT\\1\\2.quon")));
  EXPECT_FALSE(kxtest::Exists(teile + "3.quon"));
  EXPECT_TRUE(Knopf17Frei());
  // A mistyped code costs no kept part.
  ASSERT_TRUE(Holen("1x", "fehlt"));
  EXPECT_EQ(bediener_.meldungen().back().text, std::string(UngueltigerCode) + "\r\nHTTP/1.1 404 Not Found");
  EXPECT_TRUE(kxtest::Exists(teile + "2.quon"));

  std::string kaputt = gesichert;
  kaputt[123456] = char(kaputt[123456] ^ 0x20);
  ASSERT_TRUE(kxtest::WriteBytes(teil3, kaputt));
  ASSERT_TRUE(Holen(code, "kaputt"));
  ASSERT_EQ(bediener_.meldungen().size(), 3u);
  EXPECT_EQ(bediener_.meldungen()[2].titel, "Fehler");
  EXPECT_EQ(bediener_.meldungen()[2].text, Download_Beschaedigt);
  EXPECT_FALSE(Erfolgreich());
  EXPECT_FALSE(kxtest::Exists(lokal("kaputt.zip")));
  EXPECT_TRUE(Knopf17Frei());

  // Repaired on the server, the same code arrives whole.
  ASSERT_TRUE(kxtest::WriteBytes(teil3, gesichert));
  ASSERT_TRUE(Holen(code, "heil"));
  EXPECT_TRUE(Erfolgreich());
  EXPECT_TRUE(kxtest::ReadBytes(lokal("heil\\daten.bin")) == inhalt);
}

// ---- through Velmora.exe -------------------------------------------------------

class DurchsProgramm : public apptest::TransferTest {
 protected:
  void SetUp() override {
    apptest::TransferTest::SetUp();
    const char* web = std::getenv("VELMORA_DOWNLOAD_WEB");
    ASSERT_NE(web, nullptr) << "no scripted web server (VELMORA_DOWNLOAD_WEB)";
    web_ = web;
    // The test packs transfers itself: the progress callback an upload of an
    // earlier case set would write to a main window that is gone.
    kx::SetPackCallback(nullptr);
    kxtest::WriteBytes(kxtest::WinePath(web_ + "/web.control"), "");
  }
  std::string ScriptDomain() const {
    return "127.0.0.1:" + apptest::Zeile(kxtest::WinePath(web_ + "/web.port"));
  }
  // The scripted web side answers 404 for the first `mal` requests of path.
  void Verweigern(const std::string& path, int mal) {
    kxtest::WriteBytes(kxtest::WinePath(web_ + "/web.control"), path + " " + std::to_string(mal) + "\n");
  }
  std::string ScriptLog() const { return kxtest::ReadBytes(kxtest::WinePath(web_ + "/web.log")); }
  std::string NginxLog() const { return kxtest::ReadBytes(server_.datei("web.log")); }

  // A transfer of `inhalt` as the sender lays it out, stored straight into
  // SPLIT/<code> on the server: the archive of the file, its parts of
  // 1,000,000 bytes, txt.txt and Anz.txt.  The part count.
  int Ablegen(const std::string& code, const std::string& name, const std::string& inhalt) {
    const std::string datei = temp_ / name;
    const std::string zip = temp_ / (name + ".zip");
    EXPECT_TRUE(kxtest::WriteBytes(datei, inhalt));
    DeleteFileA(zip.c_str());
    EXPECT_NE(kx::PackFile(zip.c_str(), datei.c_str(), 1), 0);
    const std::string archiv = kxtest::ReadBytes(zip);
    const std::string ordner = server_.root("SPLIT\\" + code);
    CreateDirectoryA(ordner.c_str(), nullptr);
    const int teile = int(archiv.size() / 1000000 + 1);
    for (int k = 1; k <= teile; ++k)
      kxtest::WriteBytes(ordner + "\\" + std::to_string(k) + ".quon", archiv.substr((k - 1) * 1000000, 1000000));
    kxtest::WriteBytes(ordner + "\\txt.txt", "bin");
    kxtest::WriteBytes(ordner + "\\Anz.txt", std::to_string(teile));
    return teile;
  }

  std::string web_;
};

// How often the log names a request of path (with this status), from `ab` on.
int Anfragen(const std::string& log, const std::string& path, const std::string& status, size_t ab = 0) {
  int n = 0;
  for (size_t p = log.find(path + " ", ab); p != std::string::npos; p = log.find(path + " ", p + 1)) {
    size_t ende = log.find('\n', p);
    std::string rest = log.substr(p + path.size(), ende == std::string::npos ? std::string::npos : ende - p - path.size());
    if (rest.find(" " + status) != std::string::npos) ++n;
  }
  return n;
}

// A web side that answers 404 for part 3 twice and then serves it: the part
// is tried again and the download succeeds, no part beyond the count is
// asked for, and the finishing bar and its text stand at 100%.
TEST_F(DurchsProgramm, PartRefusedTwiceArrives) {
  const std::string inhalt = Zufallsbytes(2500000, 31);
  ASSERT_EQ(Ablegen("1", "drei.bin", inhalt), 3);
  Zugang("secret", ScriptDomain());
  Verweigern("/SPLIT/1/3.quon", 2);
  apptest::Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  ASSERT_TRUE(programm.Downloaden("1", temp_ / "drei"));
  apptest::Meldung m = programm.Abschluss(60000, "download_zweimal_404");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "drei\\drei.bin") == inhalt);
  std::string log = ScriptLog();
  EXPECT_EQ(Anfragen(log, "/SPLIT/1/3.quon", "404"), 2) << log;
  EXPECT_EQ(Anfragen(log, "/SPLIT/1/3.quon", "200"), 1) << log;
  EXPECT_EQ(Anfragen(log, "/SPLIT/1/4.quon", ""), 0) << "the count was held: " << log;
  EXPECT_EQ(programm.Balken(21), 100);
  EXPECT_EQ(apptest::Text(programm.Gadget(41)), "100%");
  EXPECT_FALSE(kxtest::Exists(temp_ / "Velmora\\Empf"));
  programm.Toeten();
}

// Killed while it waits for part 4 of 6 (parts 1 to 3 held), the program is
// started again and asked for the same code into the same place: it fetches
// no part it holds (nginx's log shows only parts 4 to 6), shows their share
// at once, and the file arrives whole; the kept parts are gone afterwards.
TEST_F(DurchsProgramm, DownloadKilledAfterPartThreeGoesOnWithPartFour) {
  const std::string inhalt = Zufallsbytes(5500000, 34);
  ASSERT_EQ(Ablegen("1", "sechs.bin", inhalt), 6);
  const std::string teil4 = server_.root("SPLIT\\1\\4.quon");
  const std::string gesichert = teil4 + ".beiseite";
  ASSERT_TRUE(MoveFileA(teil4.c_str(), gesichert.c_str()));
  const std::string teile = temp_ / "Velmora\\Empf\\";
  {
    apptest::Velmora programm(temp_.path());
    ASSERT_NE(programm.fenster, nullptr);
    ASSERT_TRUE(programm.Downloaden("1", temp_ / "sechs"));
    ASSERT_TRUE(kxtest::WaitUntil([&] { return Anfragen(NginxLog(), "/SPLIT/1/4.quon", "404") > 0; }, 30000));
    programm.Toeten();
  }
  for (int k = 1; k <= 3; ++k) EXPECT_TRUE(kxtest::Exists(teile + std::to_string(k) + ".quon")) << k;
  EXPECT_FALSE(kxtest::Exists(teile + "4.quon"));
  // What a fetch killed in the middle of a part would have left.
  kxtest::WriteBytes(teile + "4.quon.~1f2e", "halb");

  // Started again with part 4 still missing: the share held shows while
  // part 4 is tried, then the message of an incomplete download.
  apptest::Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  const size_t ab = NginxLog().size();
  ASSERT_TRUE(programm.Downloaden("1", temp_ / "sechs"));
  EXPECT_TRUE(kxtest::WaitUntil(
      [&] { return apptest::Text(programm.Gadget(40)) == "50%" && programm.Balken(19) == 50; }, 3000));
  apptest::Meldung m = programm.Abschluss(60000, "download_fortgesetzt_teil4_fehlt");
  EXPECT_EQ(m.text, std::string(Download_Unvollstaendig) + "\r\nHTTP/1.1 404 Not Found");
  // The fourth part refused for good: no later part asked for, and the finishing
  // bar's text shows what its bar shows.
  EXPECT_EQ(Anfragen(NginxLog(), "/SPLIT/1/5.quon", "", ab), 0);
  EXPECT_EQ(apptest::Text(programm.Gadget(41)), std::to_string(programm.Balken(21)) + "%");
  EXPECT_FALSE(kxtest::Exists(teile + "4.quon.~1f2e"));

  ASSERT_TRUE(MoveFileA(gesichert.c_str(), teil4.c_str()));
  ASSERT_TRUE(programm.Downloaden("1", temp_ / "sechs"));
  m = programm.Abschluss(60000, "download_fortgesetzt");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "sechs\\sechs.bin") == inhalt);
  const std::string log = NginxLog();
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(Anfragen(log, "/SPLIT/1/" + std::to_string(k) + ".quon", "", ab), 0) << k;
  for (int k = 5; k <= 6; ++k) EXPECT_EQ(Anfragen(log, "/SPLIT/1/" + std::to_string(k) + ".quon", "200", ab), 1) << k;
  EXPECT_EQ(Anfragen(log, "/SPLIT/1/4.quon", "200", ab), 1);
  EXPECT_EQ(Anfragen(log, "/SPLIT/1/4.quon", "404", ab), 3);
  EXPECT_FALSE(kxtest::Exists(temp_ / "Velmora\\Empf"));
  programm.Toeten();
}

}  // namespace
