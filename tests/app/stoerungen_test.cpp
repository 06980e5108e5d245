// The sender's side of Velmora.exe under faults, as users meet them: the
// program runs as a process of its own against a real pyftpdlib and nginx
// (the fixture can slow, kill, freeze and restart the FTP server) and is
// driven from outside through its windows.  What it must never do: hang,
// keep quiet about a failure, send into the wrong place.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/files/pack.h"
#include "tests/app/transfer_programm.h"
#include "tests/network/http_scripted_server.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace apptest;

namespace {

const std::string FtpFehler =
    "Es konnte keine Verbindung zum FTP Server hergestellt werden. Entweder es besteht keine Internet Verbindung "
    "oder die Firewall blockiert den Zugriff";

size_t Vorkommen(const std::string& text, const std::string& teil) {
  size_t n = 0;
  for (size_t p = text.find(teil); p != std::string::npos; p = text.find(teil, p + 1)) ++n;
  return n;
}

class Stoerungen : public TransferTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.drosseln(0));
    TransferTest::SetUp();
  }
  // The archive of transfer `code` joined from the server, unpacked; the
  // file `name` in it.
  std::string Empfangen(const std::string& code, const std::string& name) {
    const std::string zip = temp_ / ("empfangen" + code + ".zip");
    kxtest::WriteBytes(zip, server_.teile(code));
    const std::string aus = temp_ / ("aus" + code);
    kx::UnpackArchive(zip.c_str(), "*.*", aus.c_str(), 0);
    return kxtest::ReadBytes(aus + "\\" + name);
  }
};

// The file removed after "Eintragen": the "Fehler" message with the path at
// once, the row stays, nothing on the server.  Deleted and replaced, the
// next file goes out, and the send bar shows 100% as the code window opens.
TEST_F(Stoerungen, FileRemovedBeforeSendingIsReportedAndTheNextSendWorks) {
  const std::string weg = temp_ / "weg.bin";
  ASSERT_TRUE(kxtest::WriteBytes(weg, "gleich weg"));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Eintragen(weg);
  ASSERT_TRUE(DeleteFileA(weg.c_str()));
  programm.Senden();
  EXPECT_EQ(programm.Meldung("Fehler", 10000), "Die Datei konnte nicht gepackt werden.\n" + weg);
  EXPECT_EQ(programm.Zeilen(programm.Gadget(1)), 1);
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1")));
  EXPECT_FALSE(kxtest::Exists(temp_ / "Velmora\\Infos.txt"));

  programm.Loeschen();
  ASSERT_TRUE(kxtest::WaitUntil([&] { return programm.Zeilen(programm.Gadget(1)) == 0; }, 5000));
  const std::string inhalt = kxtest::RandomBytes(2500000, 31);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "da.bin", inhalt));
  programm.Eintragen(temp_ / "da.bin");
  programm.Senden();
  // The bar and its text stand at 100 while the code window comes; the
  // clean-up sets them back a second later.
  int balken = -1;
  std::string prozent;
  HWND code = programm.CodeFenster(60000, [&] {
    if (balken < 0 && FindeFenster("Code", nullptr, programm.id())) {
      balken = programm.Balken(8);
      prozent = Text(programm.Gadget(24));
    }
  });
  EXPECT_EQ(balken, 100);
  EXPECT_EQ(prozent, "100%");
  EXPECT_EQ(programm.CodeNehmen(code), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "3");
  EXPECT_TRUE(Empfangen("1", "da.bin") == inhalt);
  programm.Beenden();
}

// The FTP server killed after part 2 of 5: the message says the server
// gives no answer; with the server back, sending again goes on with part 3
// into the same code, and the transfer is whole.
TEST_F(Stoerungen, ServerKilledAfterPartTwoThenSendingAgainGoesOnWithPartThree) {
  ASSERT_TRUE(server_.drosseln(1500000));
  const size_t log_vorher = server_.log().size();  // the log of this test only
  const std::string inhalt = kxtest::RandomBytes(4500000, 37);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "fuenf.bin", inhalt));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Eintragen(temp_ / "fuenf.bin");
  programm.Senden();
  const std::string record = temp_ / "Velmora\\Infos.txt";
  ASSERT_TRUE(kxtest::WaitUntil([&] { return kxtest::ReadBytes(record).find("Erfolgreich2\r\n") != std::string::npos; }, 60000));
  ASSERT_TRUE(server_.ftp("kill", "killed"));
  EXPECT_EQ(programm.Meldung("Fehler", 30000), FtpFehler + "\nDer Server antwortet nicht.");
  EXPECT_EQ(programm.Zeilen(programm.Gadget(1)), 1);
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\Anz.txt")));

  // Sending while the server is still down: it refuses the connection.
  programm.Senden();
  EXPECT_EQ(programm.Meldung("Fehler", 30000), FtpFehler + "\nDie Verbindung wurde abgelehnt.");

  ASSERT_TRUE(server_.drosseln(0));
  programm.Senden();
  EXPECT_EQ(programm.Code(60000), "1");
  const std::string log = server_.log().substr(log_vorher);
  EXPECT_EQ(Vorkommen(log, "/SPLIT/1/1.quon completed=1"), 1u) << log;
  EXPECT_EQ(Vorkommen(log, "/SPLIT/1/2.quon completed=1"), 1u) << log;
  EXPECT_EQ(Vorkommen(log, "/SPLIT/1/3.quon completed=1"), 1u) << log;
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "5");
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\2")));
  EXPECT_TRUE(Empfangen("1", "fuenf.bin") == inhalt);
  programm.Beenden();
}

// A web side that drips its answer to the code search's question, one byte
// a second (no real server can be made to, so a scripted one on 127.0.0.1
// answers): the upload gives up within a minute with the connection message
// and its cause, nothing is made on the FTP server, the row stays and the
// program answers all the while.
TEST_F(Stoerungen, WebSideDrippingItsHeadAnswerFailsTheUploadWithinAMinute) {
  std::vector<httptest::Step> tropfen;
  for (char c : std::string("HTTP/1.1 404 Not Found\r\nServer: tropfend\r\nContent-Length: 0\r\n\r\n"))
    tropfen.push_back({std::string(1, c), 1000});
  httptest::ScriptedServer web(tropfen);
  Zugang("secret", "127.0.0.1:" + std::to_string(web.port()));
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "x.bin", "x"));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Senden(temp_ / "x.bin");
  bool antwortet = true;
  EXPECT_TRUE(kxtest::WaitUntil([&] {
    antwortet = antwortet && programm.Antwortet();
    return FindeFenster("Fehler", "#32770", programm.id()) != nullptr;
  }, 60000));
  EXPECT_TRUE(antwortet);
  EXPECT_EQ(programm.Meldung("Fehler", 1000), FtpFehler + "\nDer Server antwortet nicht.");
  EXPECT_EQ(web.request().rfind("HEAD /SPLIT/1/ HTTP/1.1\r\n", 0), 0u) << web.request();
  EXPECT_EQ(programm.Zeilen(programm.Gadget(1)), 1);
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1")));
  programm.Beenden();
}

// "Löschen" while packing, while a part goes out, and while the FTP server
// is frozen in the middle of a part: the program answers at once, the row
// and the resume record go; then an upload works.
TEST_F(Stoerungen, DeleteDuringAnUploadAtThreeMomentsKeepsTheProgramAnswering) {
  ASSERT_TRUE(server_.drosseln(1000000));
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "gross.bin", kxtest::RandomBytes(24000000, 41)));
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "mittel.bin", kxtest::RandomBytes(3000000, 43)));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  HWND vorbereiten = programm.Gadget(5);
  const std::string record = temp_ / "Velmora\\Infos.txt";
  auto loeschen_und_pruefen = [&](const char* moment) {
    const DWORD anfang = GetTickCount();
    programm.Loeschen();
    EXPECT_TRUE(kxtest::WaitUntil([&] { return programm.Zeilen(programm.Gadget(1)) == 0; }, 8000)) << moment;
    EXPECT_LT(GetTickCount() - anfang, 6000u) << moment;
    // The clean-up removes the record after its pause of a second, which the
    // window's thread sits out; then the window answers again.
    EXPECT_TRUE(kxtest::WaitUntil([&] { return !kxtest::Exists(record); }, 5000)) << moment;
    EXPECT_TRUE(programm.Antwortet(2500)) << moment;
    EXPECT_FALSE(FindeFenster("Fehler", "#32770", programm.id())) << moment;
  };

  // 1. While packing (the preparation bar in its first half).
  programm.Eintragen(temp_ / "gross.bin");
  programm.Senden();
  ASSERT_TRUE(kxtest::WaitUntil([&] {
    LRESULT p = SendMessageA(vorbereiten, PBM_GETPOS, 0, 0);
    return p > 1 && p < 45;
  }, 20000));
  loeschen_und_pruefen("packing");
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1")));

  // 2. While part 1 goes out.
  programm.Eintragen(temp_ / "mittel.bin");
  programm.Senden();
  ASSERT_TRUE(kxtest::WaitUntil([&] { return kxtest::ReadBytes(record).find("Erfolgreich0\r\n") != std::string::npos; }, 30000));
  // The part's bytes on their way: its file on the server has begun.
  ASSERT_TRUE(kxtest::WaitUntil([&] { return kxtest::Exists(server_.root("SPLIT\\1\\1.quon")); }, 30000));
  loeschen_und_pruefen("sending");
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\Anz.txt")));

  // 3. The server frozen in the middle of part 1: the upload waits on it.
  programm.Eintragen(temp_ / "mittel.bin");
  programm.Senden();
  ASSERT_TRUE(kxtest::WaitUntil([&] { return kxtest::ReadBytes(record).find("Erfolgreich0\r\n") != std::string::npos; }, 30000));
  ASSERT_TRUE(server_.ftp("freeze", "frozen"));
  loeschen_und_pruefen("frozen server");
  ASSERT_TRUE(server_.ftp("thaw", "running"));

  // Then an upload goes through.
  ASSERT_TRUE(server_.drosseln(0));
  programm.Eintragen(temp_ / "mittel.bin");
  programm.Senden();
  const std::string code = programm.Code(60000);
  ASSERT_FALSE(code.empty());
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\" + code + "\\Anz.txt")), "4");
  programm.Beenden();
}

// Two programs sending at the same moment: two codes, both transfers whole.
TEST_F(Stoerungen, TwoProgramsSendingAtTheSameMomentGetTwoCodes) {
  kxtest::TempFolder zweiter;
  CreateDirectoryA((zweiter / "Velmora").c_str(), nullptr);
  CopyFileA((temp_ / "Velmora\\Hash.txt").c_str(), (zweiter / "Velmora\\Hash.txt").c_str(), FALSE);
  const std::string eins = kxtest::RandomBytes(1500000, 51), zwei = kxtest::RandomBytes(1500000, 53);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "eins.bin", eins));
  ASSERT_TRUE(kxtest::WriteBytes(zweiter / "zwei.bin", zwei));
  Velmora a(temp_.path());
  Velmora b(zweiter.path());
  ASSERT_NE(a.fenster, nullptr);
  ASSERT_NE(b.fenster, nullptr);
  a.Eintragen(temp_ / "eins.bin");
  b.Eintragen(zweiter / "zwei.bin");
  a.Senden();
  b.Senden();
  const std::string code_a = a.Code(60000), code_b = b.Code(60000);
  ASSERT_FALSE(code_a.empty());
  ASSERT_FALSE(code_b.empty());
  EXPECT_NE(code_a, code_b);
  EXPECT_TRUE(Empfangen(code_a, "eins.bin") == eins);
  EXPECT_TRUE(Empfangen(code_b, "zwei.bin") == zwei);
  a.Beenden();
  b.Beenden();
}

}  // namespace
