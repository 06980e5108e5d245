// The upload pipeline against a real FTP server (pyftpdlib) and the real web
// side (nginx) of the same folder: what lies on the server afterwards and in
// which order it was stored, what the window showed, the code, the resume
// record, and the faults a sender meets.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/fenster.h"
#include "app/layout.h"
#include "app/upload.h"
#include "runtime/files/pack.h"
#include "tests/app/pipeline_support.h"

using namespace velmora;
using namespace pipetest;

namespace {

const char* const FtpFehlerText =
    "Es konnte keine Verbindung zum FTP Server hergestellt werden. Entweder es besteht keine Internet "
    "Verbindung oder die Firewall blockiert den Zugriff";

// The files the FTP server stored completely, in order, as paths below the
// root ("SPLIT/3/1.quon").
std::vector<std::string> Gespeichert(const std::string& log) {
  std::vector<std::string> pfade;
  std::istringstream zeilen(log);
  std::string zeile;
  while (std::getline(zeilen, zeile)) {
    size_t stor = zeile.find(" STOR ");
    if (stor == std::string::npos || zeile.find("completed=1") == std::string::npos) continue;
    std::string pfad = zeile.substr(stor + 6, zeile.find(" completed=") - stor - 6);
    size_t split = pfad.find("/root/");
    pfade.push_back(split == std::string::npos ? pfad : pfad.substr(split + 6));
  }
  return pfade;
}

// The parts of a transfer on the server, joined.
std::string Verbunden(const Server& server, int64_t code, int anzahl) {
  std::string bytes;
  for (int k = 1; k <= anzahl; ++k)
    bytes += kxtest::ReadBytes(server.root("SPLIT\\" + std::to_string(code) + "\\" + std::to_string(k) + ".quon"));
  return bytes;
}

class UploadTest : public Programm {
 protected:
  // The code window's code after the upload; "" when none was shown.
  std::string Code() {
    Warten([&] { return !bediener_.codes().empty(); }, 5000);
    return bediener_.codes().empty() ? "" : bediener_.codes().back();
  }
  size_t StorBisher() const { return Gespeichert(server_.ftpLog()).size(); }
};

// A file of 3,500,000 random bytes with transfers 1 and 2 on the server: code
// 3, the layout in the order the receiver relies on, the sent column counting
// whole megabytes, the code window, and the clean-up afterwards.
TEST_F(UploadTest, FileGoesOutAsFourPartsUnderTheNextFreeCode) {
  ASSERT_TRUE(CreateDirectoryA(server_.root("SPLIT\\1").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(server_.root("SPLIT\\2").c_str(), nullptr));
  const std::string inhalt = Zufallsbytes(3500000, 7);
  ASSERT_TRUE(kxtest::WriteBytes(lokal("bericht.bin"), inhalt));
  Setzen(&Upload_Datei_Pfad, lokal("bericht.bin"));
  const size_t vorher = StorBisher();

  Senden();
  std::vector<std::string> gesendet;
  ASSERT_TRUE(UploadFertig(120000, [&] {
    std::string zelle = Zelle(ListIcon_0, 2);
    if (!zelle.empty() && (gesendet.empty() || gesendet.back() != zelle)) gesendet.push_back(zelle);
  }));
  EXPECT_EQ(Code(), "3");
  EXPECT_EQ(OrdnerZahl.load(), 3);
  EXPECT_TRUE(bediener_.meldungen().empty());

  std::vector<std::string> gespeichert = Gespeichert(server_.ftpLog());
  gespeichert.erase(gespeichert.begin(), gespeichert.begin() + long(vorher));
  EXPECT_EQ(gespeichert, (std::vector<std::string>{"SPLIT/3/txt.txt", "SPLIT/3/1.quon", "SPLIT/3/2.quon",
                                                   "SPLIT/3/3.quon", "SPLIT/3/4.quon", "SPLIT/3/Anz.txt"}));
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\3\\txt.txt")), "bin");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\3\\Anz.txt")), "4");
  for (int k = 1; k <= 3; ++k)
    EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\3\\" + std::to_string(k) + ".quon")).size(), 1000000u);

  // The parts joined are the archive: it unpacks to the file sent.
  const std::string archiv = lokal("zurueck.zip");
  ASSERT_TRUE(kxtest::WriteBytes(archiv, Verbunden(server_, 3, 4)));
  ASSERT_EQ(kx::UnpackArchive(archiv.c_str(), "*.*", lokal("aus").c_str(), 0), 1);
  EXPECT_TRUE(kxtest::ReadBytes(lokal("aus\\bericht.bin")) == inhalt);

  // Whole megabytes of the parts sent: 0, 1, 2, 3 (3,500,000 bytes is 3 MB).
  EXPECT_EQ(gesendet, (std::vector<std::string>{"0 MB", "1 MB", "2 MB", "3 MB"}));

  // Finished: no resume record, the private folder emptied.
  ASSERT_TRUE(Warten(AlleThreadsBeendet, 10000));
  EXPECT_FALSE(kxtest::Exists(S(Templog) + "Infos.txt"));
  EXPECT_FALSE(kxtest::Exists(S(Tempdir) + "Velmora.zip"));
  EXPECT_TRUE(kxtest::IsFolder(S(Tempdir)));
}

// The folder: only its own files are packed, and a second upload of the run
// starts from a clean state: its own split, its own code, and no file of the
// first archive in the second.
TEST_F(UploadTest, SecondFolderUploadOfTheRunSendsOnlyItsOwnFiles) {
  ASSERT_TRUE(CreateDirectoryA(lokal("eins").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(lokal("eins\\unter").c_str(), nullptr));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("eins\\a.txt"), "erste Datei"));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("eins\\unter\\tief.txt"), "nicht gepackt"));
  ASSERT_TRUE(CreateDirectoryA(lokal("zwei").c_str(), nullptr));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("zwei\\b.txt"), Zufallsbytes(1500000, 3)));

  Setzen(&Upload_Ordner_Pfad, lokal("eins\\"));
  Auswahl_Zuletzt = Auswahl_Ordner;
  Senden();
  ASSERT_TRUE(UploadFertig(60000));
  ASSERT_EQ(Code(), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\txt.txt")), "");
  // The code window's clean-up ends before the next upload starts.
  ASSERT_TRUE(Warten(AlleThreadsBeendet, 10000));

  kx::ClearGadgetItems(ListIcon_0);
  Setzen(&Upload_Ordner_Pfad, lokal("zwei\\"));
  Senden();
  ASSERT_TRUE(UploadFertig(60000));
  ASSERT_EQ(Code(), "2");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\2\\Anz.txt")), "2");

  const std::string archiv = lokal("zwei.zip");
  ASSERT_TRUE(kxtest::WriteBytes(archiv, Verbunden(server_, 2, 2)));
  EXPECT_EQ(kx::packer::ArchiveEntryCount(archiv.c_str()), 1);
  EXPECT_EQ(kx::UnpackArchive(archiv.c_str(), "*.*", lokal("aus2").c_str(), 0), 1);
  EXPECT_FALSE(kxtest::Exists(lokal("aus2\\a.txt")));
  EXPECT_TRUE(kxtest::ReadBytes(lokal("aus2\\b.txt")) == Zufallsbytes(1500000, 3));

  const std::string erstes = lokal("eins.zip");
  ASSERT_TRUE(kxtest::WriteBytes(erstes, Verbunden(server_, 1, 1)));
  EXPECT_EQ(kx::UnpackArchive(erstes.c_str(), "*.*", lokal("aus1").c_str(), 0), 1);
  EXPECT_EQ(kxtest::ReadBytes(lokal("aus1\\a.txt")), "erste Datei");
  EXPECT_FALSE(kxtest::Exists(lokal("aus1\\tief.txt")));
}

// With a file and a folder both chosen, the one confirmed last is sent.
TEST_F(UploadTest, FileAndFolderChosenSendsTheOneConfirmedLast) {
  ASSERT_TRUE(kxtest::WriteBytes(lokal("datei.pdf"), "PDF"));
  ASSERT_TRUE(CreateDirectoryA(lokal("ordner").c_str(), nullptr));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("ordner\\drin.txt"), "im Ordner"));
  Setzen(&Upload_Datei_Pfad, lokal("datei.pdf"));
  Setzen(&Upload_Ordner_Pfad, lokal("ordner\\"));
  Auswahl_Zuletzt = Auswahl_Datei;
  Senden();
  ASSERT_TRUE(UploadFertig(60000));
  ASSERT_EQ(Code(), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\txt.txt")), "pdf");
  const std::string archiv = lokal("an.zip");
  ASSERT_TRUE(kxtest::WriteBytes(archiv, Verbunden(server_, 1, 1)));
  EXPECT_EQ(kx::packer::ArchiveEntryCount(archiv.c_str()), 1);
  EXPECT_EQ(kx::UnpackArchive(archiv.c_str(), "*.*", lokal("aus").c_str(), 0), 1);
  EXPECT_EQ(kxtest::ReadBytes(lokal("aus\\datei.pdf")), "PDF");
  // The globals stay as the selection window left them.
  EXPECT_EQ(S(Upload_Ordner_Pfad), lokal("ordner\\"));
}

// A wrong password: the debugger line, the message titled "Fehler", the
// upload's threads end, nothing is made on the server, the row stays.
TEST_F(UploadTest, WrongPasswordShowsTheConnectionMessageAndEndsTheUpload) {
  ASSERT_TRUE(kxtest::WriteBytes(lokal("x.txt"), "x"));
  Setzen(&Upload_Datei_Pfad, lokal("x.txt"));
  ZugangSetzen("velmora", "falsch");
  Senden();
  ASSERT_TRUE(UploadFertig(60000));
  ASSERT_TRUE(bediener_.warteAufMeldung("Fehler", 5000));
  // The second line is the server's own refusal.
  EXPECT_TRUE(bediener_.hatMeldung("Fehler", std::string(FtpFehlerText) + "\n530 Authentication failed."));
  EXPECT_TRUE(bediener_.codes().empty());
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1")));
  EXPECT_EQ(kx::CountGadgetItems(ListIcon_0), 1);
  EXPECT_FALSE(kxtest::Exists(S(Templog) + "Infos.txt"));
}

// A number the web side does not know but the FTP server cannot make (here a
// file named 1, as when another sender made folder 1 after the web probe):
// the search goes on with the next number.
TEST_F(UploadTest, CodeSearchSkipsANumberWhoseFolderCannotBeMade) {
  ASSERT_TRUE(kxtest::WriteBytes(server_.root("SPLIT\\1"), "kein Ordner"));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("x.txt"), "x"));
  Setzen(&Upload_Datei_Pfad, lokal("x.txt"));
  Senden();
  ASSERT_TRUE(UploadFertig(60000));
  EXPECT_EQ(Code(), "2");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\2\\Anz.txt")), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1")), "kein Ordner");
}

// The FTP server stops in the middle: the part that fails is not recorded,
// the message comes, no count file marks the transfer complete.  Once the
// server is back, the next start resumes into the same folder after the last
// part that was stored, and the transfer completes with the same code.
TEST_F(UploadTest, ServerStoppedMidUploadLeavesAResumableRecordAndNoCountFile) {
  const std::string inhalt = Zufallsbytes(8500000, 11);
  ASSERT_TRUE(kxtest::WriteBytes(lokal("gross.dat"), inhalt));
  Setzen(&Upload_Datei_Pfad, lokal("gross.dat"));
  Senden();
  // The third piece on its way means the second was stored and recorded.
  ASSERT_TRUE(Warten([&] { return kxtest::Exists(server_.root("SPLIT\\1\\3.quon")); }, 60000));
  ASSERT_TRUE(server_.ftpStoppen());
  ASSERT_TRUE(UploadFertig(60000));
  ASSERT_TRUE(bediener_.warteAufMeldung("Fehler", 5000));
  // The connection went with the server: no reply is the cause.
  EXPECT_TRUE(bediener_.hatMeldung("Fehler", std::string(FtpFehlerText) + "\nDer Server antwortet nicht."));
  EXPECT_TRUE(bediener_.codes().empty());
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\Anz.txt")));

  // The record names the last part stored; every part up to it is whole.
  const std::string record = kxtest::ReadBytes(S(Templog) + "Infos.txt");
  const size_t pos = record.find("Erfolgreich");
  ASSERT_NE(pos, std::string::npos) << record;
  const int erfolgreich = std::atoi(record.c_str() + pos + 11);
  EXPECT_GE(erfolgreich, 2);
  EXPECT_LT(erfolgreich, 9);
  EXPECT_NE(record.find("Serverordner1\r\n"), std::string::npos) << record;
  EXPECT_NE(record.find("Splitanzahl9\r\n"), std::string::npos) << record;
  for (int k = 1; k <= erfolgreich; ++k)
    EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\" + std::to_string(k) + ".quon")).size(), 1000000u) << k;

  // The next start: its globals as a fresh run has them, then the resume.
  ASSERT_TRUE(server_.ftpStarten());
  const std::string tempdir = S(Tempdir);
  ZustandLeeren();
  Startwerte();
  ZugangSetzen("velmora", "secret");
  kx::ClearGadgetItems(ListIcon_0);
  Downloadfortsetzer_Thread = kx::StartThread(Downloadfortsetzer, 52918);
  ASSERT_TRUE(Warten([] { return kx::CountGadgetItems(ListIcon_0) == 1; }, 10000));
  ASSERT_TRUE(Warten([] { return !kx::ThreadRunning(Downloadfortsetzer_Thread); }, 10000));
  ASSERT_TRUE(UploadFertig(120000));
  EXPECT_EQ(Code(), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "9");
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\2")));
  const std::string archiv = lokal("ganz.zip");
  ASSERT_TRUE(kxtest::WriteBytes(archiv, Verbunden(server_, 1, 9)));
  ASSERT_EQ(kx::UnpackArchive(archiv.c_str(), "*.*", lokal("aus").c_str(), 0), 1);
  EXPECT_TRUE(kxtest::ReadBytes(lokal("aus\\gross.dat")) == inhalt);
  kxtest::RemoveTree(tempdir);
}

// The clean-up after an upload removes the upload's files from the private
// folder and leaves what a download is using there at the same time.
TEST_F(UploadTest, CleanUpAfterAnUploadLeavesARunningDownloadsFiles) {
  const std::string tempdir = S(Tempdir);
  ASSERT_TRUE(kxtest::WriteBytes(S(MyZIP), "PK"));
  ASSERT_TRUE(CreateDirectoryA(S(Ordner.TempSplitOrdnerPfad).c_str(), nullptr));
  ASSERT_TRUE(kxtest::WriteBytes(S(Ordner.TempSplitOrdnerPfad) + "1.quon", "PK"));
  ASSERT_TRUE(kxtest::WriteBytes(tempdir + "dd.txt", "bin"));
  ASSERT_TRUE(kxtest::WriteBytes(tempdir + "Anz.txt", "1"));
  ASSERT_TRUE(kxtest::WriteBytes(S(Templog) + "Infos.txt", "TempPfad\r\n"));
  ASSERT_TRUE(CreateDirectoryA(S(Ordner.TempEmpfangOrdnerPfad).c_str(), nullptr));
  ASSERT_TRUE(kxtest::WriteBytes(S(Ordner.TempEmpfangOrdnerPfad) + "\\1.quon", "Teil"));
  ASSERT_TRUE(kxtest::WriteBytes(tempdir + "AnzEmpf.txt", "3"));

  Cleaner("Upload fertig");
  EXPECT_FALSE(kxtest::Exists(S(MyZIP)));
  EXPECT_FALSE(kxtest::Exists(S(Ordner.TempSplitOrdnerPfad)));
  EXPECT_FALSE(kxtest::Exists(tempdir + "dd.txt"));
  EXPECT_FALSE(kxtest::Exists(tempdir + "Anz.txt"));
  EXPECT_FALSE(kxtest::Exists(S(Templog) + "Infos.txt"));
  EXPECT_EQ(kxtest::ReadBytes(S(Ordner.TempEmpfangOrdnerPfad) + "\\1.quon"), "Teil");
  EXPECT_EQ(kxtest::ReadBytes(tempdir + "AnzEmpf.txt"), "3");
}

// The folder's size column counts from nothing on every calculation.
TEST_F(UploadTest, SizeColumnOfAFolderDoesNotAddUpAcrossCalculations) {
  ASSERT_TRUE(CreateDirectoryA(lokal("z").c_str(), nullptr));
  ASSERT_TRUE(kxtest::WriteBytes(lokal("z\\a"), std::string(300000, 'a')));
  Setzen(&Upload_Ordner_Pfad, lokal("z\\"));
  Rechner_Hauptfenster_Spalte(0);
  EXPECT_EQ(S(Spalte_Datei_Size), "292 KB");
  Rechner_Hauptfenster_Spalte(0);
  EXPECT_EQ(S(Spalte_Datei_Size), "292 KB");
}

}  // namespace
