// The confirmed close of Velmora.exe while an upload and a download run: the
// program asks its threads to stop, waits for them (bounded) and ends with
// exit code 0, every time.  The web side is slowed (the fixture's nginx
// sends 1 MB/s per connection), so the download is surely running.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/app/fahrer.h"
#include "tests/app/transfer_programm.h"
#include "tests/app/transfer_texte.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace apptest;

namespace {

constexpr int Durchgaenge = 20;
// The program's wait for its threads is 3 s; the rest is Wine's start and
// end of a process on a busy machine.
constexpr DWORD Frist = 12000;

// The program's private folder (named by a GUID) below its TEMP.
std::string Privatordner(const std::string& temp) {
  WIN32_FIND_DATAA eintrag;
  HANDLE suche = FindFirstFileA((temp + "\\{*}").c_str(), &eintrag);
  if (suche == INVALID_HANDLE_VALUE) return "";
  FindClose(suche);
  return temp + "\\" + eintrag.cFileName;
}

TEST(Beenden, ConfirmedCloseWhileAnUploadAndADownloadRunExitsWithZeroEveryTime) {
  TransferServer server;
  ASSERT_FALSE(server.state.empty()) << "no transfer server (VELMORA_TRANSFER_STATE)";
  // Transfer 1 to receive: 20 parts of 1,000,000 bytes.
  CreateDirectoryA(server.root("SPLIT\\1").c_str(), nullptr);
  const std::string teil = kxtest::RandomBytes(1000000, 61);
  for (int k = 1; k <= 20; ++k) kxtest::WriteBytes(server.root("SPLIT\\1\\" + std::to_string(k) + ".quon"), teil);
  kxtest::WriteBytes(server.root("SPLIT\\1\\Anz.txt"), "20");
  kxtest::TempFolder quelle;
  ASSERT_TRUE(kxtest::WriteBytes(quelle / "senden.bin", kxtest::RandomBytes(12000000, 67)));

  for (int durchgang = 1; durchgang <= Durchgaenge; ++durchgang) {
    SCOPED_TRACE("run " + std::to_string(durchgang));
    kxtest::TempFolder temp;
    ZugangSchreiben(temp.path(), server, "secret");
    Velmora programm(temp.path());
    ASSERT_NE(programm.fenster, nullptr);
    programm.Senden(quelle / "senden.bin");
    ASSERT_TRUE(programm.Downloaden("1", temp / "ziel"));

    // Both running: the probe of part 1 arriving, no code window yet.
    const std::string privat = Privatordner(temp.path());
    ASSERT_FALSE(privat.empty());
    ASSERT_TRUE(kxtest::WaitUntil([&] { return kxtest::Exists(privat + "\\Test.quon") || kxtest::Exists(privat + "\\Empf"); },
                       20000));
    ASSERT_EQ(FindeFenster("Code", nullptr, programm.id()), nullptr);

    const DWORD anfang = GetTickCount();
    Schliessen(programm.fenster);
    Meldung frage = Beantworte("Wirklich Beenden", IDYES, programm.id());
    ASSERT_EQ(frage.titel, "Wirklich Beenden");
    EXPECT_EQ(programm.Ende(), 0);
    EXPECT_LT(GetTickCount() - anfang, Frist);
  }
}

}  // namespace
