// A transfer through Velmora.exe as users meet it: the program runs as a
// process of its own against the test's transfer server (pyftpdlib and
// nginx), and is driven from outside through its windows: the selection
// window, the menu, the code window, the tab "Empfangen", the save requester
// and the message boxes.  The resume case kills the program in the middle of
// an upload and starts it again.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/app/transfer_programm.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace apptest;

namespace {

std::string Zufallsbytes(size_t size, uint32_t seed) { return kxtest::RandomBytes(size, seed); }

class Uebertragung : public TransferTest {};

// A file of 3,500,000 bytes with transfers 1 and 2 on the server: the send
// list counts the megabytes sent, the code window shows 3; received through
// the tab "Empfangen" of the same program, the file arrives whole.
TEST_F(Uebertragung, FileSentAndReceivedThroughTheWindows) {
  CreateDirectoryA(server_.root("SPLIT\\1").c_str(), nullptr);
  CreateDirectoryA(server_.root("SPLIT\\2").c_str(), nullptr);
  const std::string inhalt = Zufallsbytes(3500000, 21);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "reise.bin", inhalt));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  HWND liste = programm.Gadget(1);
  programm.Senden(temp_ / "reise.bin");
  std::vector<std::string> gesendet;
  const std::string code = programm.CodeNehmen(programm.CodeFenster(120000, [&] {
    std::string zelle = programm.Zelle(liste, 0, 2);
    if (!zelle.empty() && (gesendet.empty() || gesendet.back() != zelle)) gesendet.push_back(zelle);
  }), "uebertragung_code");
  EXPECT_EQ(code, "3");
  EXPECT_EQ(gesendet, (std::vector<std::string>{"0 MB", "1 MB", "2 MB", "3 MB"}));
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\3\\Anz.txt")), "4");

  Meldung m = programm.Empfangen(code, temp_ / "angekommen", "uebertragung_empfangen");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_EQ(m.text, "Der Download wurde erfolgreich abgeschlossen!!!");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "angekommen\\reise.bin") == inhalt);
  EXPECT_FALSE(kxtest::Exists(temp_ / "angekommen.zip"));
  programm.Beenden();
}

// Killed (not closed) after part 2 of 4 was stored: the next start shows the
// row at once, sends parts 3 and 4 into the same folder and shows the same
// code; the received file is whole.
TEST_F(Uebertragung, KilledAfterPartTwoResumesAtTheNextStart) {
  const std::string inhalt = Zufallsbytes(3500000, 23);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "akte.bin", inhalt));
  {
    Velmora programm(temp_.path());
    ASSERT_NE(programm.fenster, nullptr);
    programm.Senden(temp_ / "akte.bin");
    const std::string record = temp_ / "Velmora\\Infos.txt";
    ASSERT_TRUE(kxtest::WaitUntil(
        [&] { return kxtest::ReadBytes(record).find("Erfolgreich2\r\n") != std::string::npos; }, 60000));
    programm.Toeten();
  }
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\3.quon")));
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\Anz.txt")));

  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  HWND liste = programm.Gadget(1);
  kxtest::WaitUntil([&] { return programm.Zeilen(liste) != 0; }, 3000);
  EXPECT_EQ(programm.Zeilen(liste), 1);
  EXPECT_EQ(programm.Zelle(liste, 0, 0), "akte.bin");
  EXPECT_EQ(programm.Code(120000), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "4");
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\2")));

  Meldung m = programm.Empfangen("1", temp_ / "akte");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "akte\\akte.bin") == inhalt);
  programm.Beenden();
}

// A server without "SPLIT": the message with an empty title, then the
// program ends.
TEST_F(Uebertragung, ServerWithoutSplitFolderEndsTheProgramAfterItsMessage) {
  kxtest::RemoveTree(server_.root("SPLIT"));
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "x.txt", "x"));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Senden(temp_ / "x.txt");
  Meldung m = Beantworte("", IDOK, programm.id());
  EXPECT_EQ(m.text, "Bitte lege im Rootverzeichnis den Ordner \xB4SPLIT\xB4 an");
  // The upload's thread asks for the end and the main loop ends the program,
  // once the other threads have stopped: an orderly end, code 0.
  EXPECT_EQ(programm.Ende(), 0);
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT")));
}

// A wrong password: the connection message titled "Fehler" with the server's
// refusal as its second line; the program goes on, the row stays, nothing is
// made on the server.
TEST_F(Uebertragung, WrongPasswordShowsTheConnectionMessageAndTheRowStays) {
  Zugang("falsch");
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "x.txt", "x"));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Senden(temp_ / "x.txt");
  Meldung m = Beantworte("Fehler", IDOK, programm.id());
  EXPECT_EQ(m.text,
            "Es konnte keine Verbindung zum FTP Server hergestellt werden. Entweder es besteht keine Internet "
            "Verbindung oder die Firewall blockiert den Zugriff\n530 Authentication failed.");
  EXPECT_TRUE(programm.laeuft());
  EXPECT_EQ(programm.Zeilen(programm.Gadget(1)), 1);
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1")));
  programm.Beenden();
}

// Access data entered in "Server-Zugang" serve an upload of the same run:
// the program logs in with the values as typed (the file keeps them in
// Base64).
TEST_F(Uebertragung, AccessDataEnteredInTheRunAreUsedAsTyped) {
  DeleteFileA((temp_ / "Velmora\\Hash.txt").c_str());
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "x.txt", "x"));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Menue(5);
  HWND zugang = programm.Warte("Server-Zugang");
  ASSERT_NE(zugang, nullptr);
  const std::string werte[4] = {server_.address(), server_.domain(), "velmora", "secret"};
  for (int i = 0; i < 4; ++i) Tippen(WarteAufGadget(zugang, 28 + i), werte[i]);
  Klick(WarteAufGadget(zugang, 39));
  EXPECT_EQ(Beantworte("Achtung", IDOK, programm.id()).text, "Bitte starten sie das Program neu");
  EXPECT_EQ(kxtest::ReadBytes(temp_ / "Velmora\\Hash.txt"),
            Base64(werte[0]) + "\r\n" + Base64(werte[1]) + "\r\n" + Base64(werte[2]) + "\r\n" + Base64(werte[3]) +
                "\r\n");
  programm.Senden(temp_ / "x.txt");
  EXPECT_EQ(programm.Code(60000), "1");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "1");
  programm.Beenden();
}

}  // namespace
