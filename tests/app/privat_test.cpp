// Private transfers through Velmora.exe as users meet them: the switch
// "Privat senden" turned on in the menu "Extras", a file and a folder sent
// and received with the private code against a real FTP server (pyftpdlib)
// and web server (nginx); what the server holds (sealed bytes only, txt.txt
// empty); the damaged message for every wrong key and every damage of the
// parts; and the resume of a killed private upload with the same code.
//
// The parts and the code of the first transfer are left in the build tree
// (tests/app/privat_referenz) for the reference reader (privat_referenz.sh).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "tests/app/transfer_programm.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace apptest;

namespace {

const char* const Beschaedigt = "Die empfangenen Daten sind besch\xE4" "digt. Bitte den Download erneut starten.";
const std::regex PrivaterCode("[1-9][0-9]*-[0-9A-HJKMNP-TV-Z]{4}-[0-9A-HJKMNP-TV-Z]{4}-[0-9A-HJKMNP-TV-Z]{4}-"
                              "[0-9A-HJKMNP-TV-Z]{4}");

// Whether any run of 32 bytes of `daten` stands anywhere in `heu`.
bool EnthaeltLauf(const std::string& heu, const std::string& daten) {
  constexpr size_t Lauf = 32;
  if (heu.size() < Lauf || daten.size() < Lauf) return false;
  auto schluessel = [](const char* p) {
    uint64_t k;
    std::memcpy(&k, p, sizeof k);
    return k;
  };
  std::vector<std::pair<uint64_t, uint32_t>> index;
  index.reserve(daten.size() - Lauf + 1);
  for (size_t i = 0; i + Lauf <= daten.size(); ++i) index.emplace_back(schluessel(&daten[i]), uint32_t(i));
  std::sort(index.begin(), index.end());
  for (size_t j = 0; j + Lauf <= heu.size(); ++j) {
    auto von = std::lower_bound(index.begin(), index.end(), std::pair{schluessel(&heu[j]), uint32_t(0)});
    for (auto it = von; it != index.end() && it->first == schluessel(&heu[j]); ++it) {
      if (std::memcmp(&heu[j], &daten[it->second], Lauf) == 0) return true;
    }
  }
  return false;
}

class Privat : public TransferTest {
 protected:
  std::string Einstellungen() { return temp_ / "Velmora\\Einstellungen.txt"; }
  // Extras > "Privat senden", then waits until the settings file says `an`.
  void PrivatSchalten(Velmora& programm, bool an) {
    programm.Menue(6);
    const std::string erwartet = an ? "Privat=1\r\n" : "Privat=0\r\n";
    kxtest::WaitUntil([&] { return kxtest::ReadBytes(Einstellungen()) == erwartet; }, 5000);
    EXPECT_EQ(kxtest::ReadBytes(Einstellungen()), erwartet);
  }
  // Files the program's private folders hold, other than the count file of
  // the last download.
  std::vector<std::string> Reste() {
    std::vector<std::string> reste;
    std::function<void(const std::string&)> sammeln = [&](const std::string& ordner) {
      WIN32_FIND_DATAA e;
      HANDLE h = FindFirstFileA((ordner + "\\*").c_str(), &e);
      if (h == INVALID_HANDLE_VALUE) return;
      do {
        std::string name = e.cFileName;
        if (name == "." || name == "..") continue;
        if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          sammeln(ordner + "\\" + name);
        } else if (name != "AnzEmpf.txt") {
          reste.push_back(ordner + "\\" + name);
        }
      } while (FindNextFileA(h, &e));
      FindClose(h);
    };
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((temp_.path() + "\\{*").c_str(), &e);
    if (h != INVALID_HANDLE_VALUE) {
      do sammeln(temp_ / e.cFileName);
      while (FindNextFileA(h, &e));
      FindClose(h);
    }
    return reste;
  }
  // A receive that must fail: the damaged message, nothing unpacked, nothing left.
  void Abgelehnt(Velmora& programm, const std::string& code, const std::string& name) {
    SCOPED_TRACE(code);
    Meldung m = programm.Empfangen(code, temp_ / name);
    EXPECT_EQ(m.titel, "Fehler");
    EXPECT_EQ(m.text, Beschaedigt);
    for (const char* endung : {"", ".zip", ".versiegelt"}) EXPECT_FALSE(kxtest::Exists(temp_ / (name + endung)));
    EXPECT_EQ(Reste(), std::vector<std::string>{});
  }
};

// The switch turned on in the menu; a file of 2,200,000 bytes and a folder of
// two files sent privately and received with their private codes, typed as
// shown and typed sloppily.  The server holds no 32-byte run of the data and
// an empty txt.txt.
TEST_F(Privat, FileAndFolderArriveWholeAndTheServerSeesOnlySealedBytes) {
  const std::string datei = kxtest::RandomBytes(2200000, 31);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "bericht.pdf", datei));
  CreateDirectoryA((temp_ / "mappe").c_str(), nullptr);
  const std::string eins = kxtest::RandomBytes(400000, 32), zwei = "Kurzer Text im Ordner\r\n";
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "mappe\\eins.bin", eins));
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "mappe\\zwei.txt", zwei));

  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  EXPECT_FALSE(kxtest::Exists(Einstellungen())) << "off by default";
  PrivatSchalten(programm, true);

  programm.Senden(temp_ / "bericht.pdf");
  const std::string code = programm.Code(120000, "privat_code");
  ASSERT_TRUE(std::regex_match(code, PrivaterCode)) << code;
  EXPECT_EQ(code.substr(0, 2), "1-");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\txt.txt")), "");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "3");
  const std::string teile = server_.teile(code);
  EXPECT_EQ(teile.substr(0, 9), std::string("KXSEALED\x01", 9));
  EXPECT_FALSE(EnthaeltLauf(teile, datei));

  // For the reference reader: the parts and the code.
  const std::string referenz = kxtest::WinePath(std::string(std::getenv("VELMORA_BINARY_DIR")) +
                                                "/tests/app/privat_referenz");
  kxtest::RemoveTree(referenz);
  CreateDirectoryA(referenz.c_str(), nullptr);
  for (int k = 1; k <= 3; ++k) CopyFileA(server_.teil(code, k).c_str(), (referenz + "\\" + std::to_string(k) + ".quon").c_str(), FALSE);
  kxtest::WriteBytes(referenz + "\\code.txt", code);
  kxtest::WriteBytes(referenz + "\\gesendet.bin", datei);

  Meldung m = programm.Empfangen(code, temp_ / "angekommen");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "angekommen\\bericht.pdf") == datei);
  EXPECT_FALSE(kxtest::Exists(temp_ / "angekommen.zip"));
  EXPECT_FALSE(kxtest::Exists(temp_ / "angekommen.versiegelt"));

  programm.Senden(temp_ / "mappe\\", true);
  const std::string ordnercode = programm.Code(120000, "privat_code_ordner");
  ASSERT_TRUE(std::regex_match(ordnercode, PrivaterCode)) << ordnercode;
  EXPECT_EQ(ordnercode.substr(0, 2), "2-");
  EXPECT_NE(ordnercode.substr(2), code.substr(2)) << "every transfer has its own secret";
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\2\\txt.txt")), "");
  const std::string ordnerteile = server_.teile(ordnercode);
  EXPECT_FALSE(EnthaeltLauf(ordnerteile, eins));
  EXPECT_EQ(ordnerteile.find("zwei.txt"), std::string::npos);
  EXPECT_EQ(ordnerteile.find("Kurzer Text"), std::string::npos);

  // Lower case, no dashes, blanks between the groups.
  std::string getippt;
  for (char c : ordnercode) {
    if (c == '-') getippt += ' ';
    else getippt += char(std::tolower(static_cast<unsigned char>(c)));
  }
  m = programm.Empfangen(getippt, temp_ / "mappe_da");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "mappe_da\\eins.bin") == eins);
  EXPECT_EQ(kxtest::ReadBytes(temp_ / "mappe_da\\zwei.txt"), zwei);
  Bildschirmfoto(programm.fenster, "privat_empfangen");
  programm.Beenden();
}

// One private transfer of three parts, received wrongly four ways: with only
// its number, with one character of the secret changed, with one byte of a
// part flipped on the server, and with the last part removed and Anz.txt
// lowered to match.  Each time the damaged message, nothing unpacked, nothing
// left behind; the genuine transfer still arrives afterwards.
TEST_F(Privat, WrongKeysAndDamagedPartsGiveTheDamagedMessageAndLeaveNothing) {
  kxtest::WriteBytes(Einstellungen(), "Privat=1\r\n");
  const std::string datei = kxtest::RandomBytes(2200000, 41);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "akte.bin", datei));
  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Senden(temp_ / "akte.bin");
  const std::string code = programm.Code(120000, "privat_code_beschaedigt");
  ASSERT_TRUE(std::regex_match(code, PrivaterCode)) << code;
  // The upload's clean-up has removed its archive and parts: what is left
  // after a receive is the receive's.
  ASSERT_TRUE(kxtest::WaitUntil([&] { return Reste().empty(); }, 10000));

  Abgelehnt(programm, "1", "nur_nummer");

  std::string falsch = code;
  falsch[falsch.size() - 2] = falsch[falsch.size() - 2] == 'Q' ? 'R' : 'Q';
  Abgelehnt(programm, falsch, "falscher_schluessel");

  const std::string teil2 = kxtest::ReadBytes(server_.teil(code, 2));
  std::string gekippt = teil2;
  gekippt[500000] = char(gekippt[500000] ^ 0x40);
  ASSERT_TRUE(kxtest::WriteBytes(server_.teil(code, 2), gekippt));
  Abgelehnt(programm, code, "gekippt");
  ASSERT_TRUE(kxtest::WriteBytes(server_.teil(code, 2), teil2));

  const std::string teil3 = kxtest::ReadBytes(server_.teil(code, 3));
  DeleteFileA(server_.teil(code, 3).c_str());
  ASSERT_TRUE(kxtest::WriteBytes(server_.root("SPLIT\\1\\Anz.txt"), "2"));
  Abgelehnt(programm, code, "gekuerzt");
  ASSERT_TRUE(kxtest::WriteBytes(server_.teil(code, 3), teil3));
  ASSERT_TRUE(kxtest::WriteBytes(server_.root("SPLIT\\1\\Anz.txt"), "3"));

  Meldung m = programm.Empfangen(code, temp_ / "doch");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "doch\\akte.bin") == datei);
  programm.Beenden();
}

// The switch turned on in the menu, the program killed after part 2 of 4 of
// a private upload: the next start finds the switch on, resumes into the same
// folder with the same private code, and the transfer arrives whole; a new
// upload of that run is private too.
TEST_F(Privat, KilledAfterPartTwoResumesWithTheSamePrivateCode) {
  const std::string datei = kxtest::RandomBytes(3500000, 51);
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "akte.bin", datei));
  std::string geheimnis;
  {
    Velmora programm(temp_.path());
    ASSERT_NE(programm.fenster, nullptr);
    PrivatSchalten(programm, true);
    programm.Senden(temp_ / "akte.bin");
    const std::string record = temp_ / "Velmora\\Infos.txt";
    ASSERT_TRUE(kxtest::WaitUntil([&] {
      std::string inhalt = kxtest::ReadBytes(record);
      size_t at = inhalt.find("Geheimnis");
      if (at != std::string::npos) geheimnis = inhalt.substr(at + 9, 16);
      return inhalt.find("Erfolgreich2\r\n") != std::string::npos;
    }, 30000));
    programm.Toeten();
  }
  ASSERT_EQ(geheimnis.size(), 16u);
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\3.quon")));
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\1\\Anz.txt")));

  Velmora programm(temp_.path());
  ASSERT_NE(programm.fenster, nullptr);
  const std::string code = programm.Code(120000, "privat_code_fortgesetzt");
  EXPECT_EQ(code, "1-" + geheimnis.substr(0, 4) + "-" + geheimnis.substr(4, 4) + "-" + geheimnis.substr(8, 4) + "-" +
                      geheimnis.substr(12, 4));
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\1\\Anz.txt")), "4");
  EXPECT_FALSE(kxtest::Exists(server_.root("SPLIT\\2")));
  EXPECT_FALSE(EnthaeltLauf(server_.teile(code), datei));

  Meldung m = programm.Empfangen(code, temp_ / "akte");
  EXPECT_EQ(m.titel, "Download abgeschlossen");
  EXPECT_TRUE(kxtest::ReadBytes(temp_ / "akte\\akte.bin") == datei);

  // The switch outlived the kill: the next upload is private as well.
  EXPECT_EQ(kxtest::ReadBytes(Einstellungen()), "Privat=1\r\n");
  ASSERT_TRUE(kxtest::WriteBytes(temp_ / "notiz.txt", "noch eine Notiz"));
  programm.Senden(temp_ / "notiz.txt");
  EXPECT_TRUE(std::regex_match(programm.Code(120000, "privat_code_danach"), PrivaterCode));
  // The finished upload's record goes a moment after its code window.
  ASSERT_TRUE(kxtest::WaitUntil([&] { return !kxtest::Exists(temp_ / "Velmora\\Infos.txt"); }, 5000));
  // Turned off, the next start sends plain again.
  PrivatSchalten(programm, false);
  programm.Beenden();
  Velmora neu(temp_.path());
  ASSERT_NE(neu.fenster, nullptr);
  neu.Senden(temp_ / "notiz.txt");
  EXPECT_EQ(neu.Code(120000, "privat_aus"), "3");
  EXPECT_EQ(kxtest::ReadBytes(server_.root("SPLIT\\3\\txt.txt")), "txt");
  neu.Beenden();
}

}  // namespace
