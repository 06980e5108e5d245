// What the program tests that send and receive through Velmora.exe share:
// the test program's transfer server (transfer_servers.sh: pyftpdlib and
// nginx over one folder, with a control loop that stops, kills, freezes and
// slows the FTP server), a fixture that gives each test an empty "SPLIT"
// and an access file, and the program driven through a transfer as a user
// does it: the selection window, the menu, the code window, the tab
// "Empfangen", the save requester and the closing message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "tests/app/fahrer.h"
#include "tests/app/transfer_texte.h"
#include "tests/app/velmora_prozess.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace apptest {

struct TransferServer {
  std::string state = std::getenv("VELMORA_TRANSFER_STATE") ? std::getenv("VELMORA_TRANSFER_STATE") : "";
  std::string datei(const std::string& name) const { return kxtest::WinePath(state + "/" + name); }
  std::string root(const std::string& below = "") const {
    return datei("root") + (below.empty() ? "" : "\\" + below);
  }
  std::string address() const { return Zeile(datei("ftp.address")); }
  std::string domain() const { return "127.0.0.1:" + Zeile(datei("web.port")); }
  std::string log() const { return kxtest::ReadBytes(datei("ftp.log")); }
  // Part k of the transfer with this code (a private code names its folder
  // before the first dash).
  std::string teil(const std::string& code, int k) const {
    return root("SPLIT\\" + code.substr(0, code.find('-')) + "\\" + std::to_string(k) + ".quon");
  }
  // The parts of a transfer, joined (as many as Anz.txt names).
  std::string teile(const std::string& code) const {
    std::string bytes;
    int anzahl = std::atoi(kxtest::ReadBytes(root("SPLIT\\" + code.substr(0, code.find('-')) + "\\Anz.txt")).c_str());
    for (int k = 1; k <= anzahl; ++k) bytes += kxtest::ReadBytes(teil(code, k));
    return bytes;
  }
  // Creates the request file and waits until the FTP server's state says so.
  bool ftp(const std::string& anfrage, const std::string& zustand) {
    kxtest::WriteBytes(datei("ftp." + anfrage), "");
    return kxtest::WaitUntil(
        [&] { return !kxtest::Exists(datei("ftp." + anfrage)) && Zeile(datei("ftp.state")) == zustand; }, 20000);
  }
  // Restarts the FTP server taking at most `bytes` per second (0: no limit).
  bool drosseln(int bytes) {
    kxtest::WriteBytes(datei("ftp.limit"), std::to_string(bytes));
    return ftp("stop", "stopped") && ftp("start", "running");
  }
};

// The program's access file in its TEMP `temp`: the server, user "velmora",
// password `pw`, and the web side at `domain` (host:port; the fixture's
// nginx when empty).
inline void ZugangSchreiben(const std::string& temp, const TransferServer& server, const std::string& pw,
                            const std::string& domain = "") {
  CreateDirectoryA((temp + "\\Velmora").c_str(), nullptr);
  kxtest::WriteBytes(temp + "\\Velmora\\Hash.txt", Base64(server.address()) + "\r\n" +
                                                     Base64(domain.empty() ? server.domain() : domain) + "\r\n" +
                                                     Base64("velmora") + "\r\n" + Base64(pw) + "\r\n");
}

// Each test: "SPLIT" empty on the server, and the program's access file in
// its own TEMP.
class TransferTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(server_.state.empty()) << "no transfer server (VELMORA_TRANSFER_STATE)";
    kxtest::RemoveTree(server_.root("SPLIT"));
    CreateDirectoryA(server_.root("SPLIT").c_str(), nullptr);
    Zugang("secret");
  }
  void Zugang(const std::string& pw, const std::string& domain = "") {
    ZugangSchreiben(temp_.path(), server_, pw, domain);
  }
  TransferServer server_;
  kxtest::TempFolder temp_;
};

class Velmora : public VelmoraProzess {
 public:
  using VelmoraProzess::VelmoraProzess;

  HWND Gadget(int nummer) { return WarteAufGadget(fenster, nummer); }

  // Datei > Hinzufügen with the path of a file (or, `ordner`, a folder)
  // typed into the selection window; waits for the row it adds.
  void Eintragen(const std::string& pfad, bool ordner = false) {
    const int vorher = Zeilen(Gadget(1));
    Menue(1);
    HWND auswahl = Warte("Auswahlfenster");
    ASSERT_NE(auswahl, nullptr);
    ASSERT_NE(WarteAufGadget(auswahl, 59), nullptr);
    if (ordner) {
      Klick(WarteAufGadget(auswahl, 51));
      kxtest::WaitUntil([&] { return IsWindowEnabled(apptest::Gadget(auswahl, 53)); }, 5000);
    }
    Tippen(WarteAufGadget(auswahl, ordner ? 53 : 52), pfad);
    Klick(WarteAufGadget(auswahl, 59));
    ASSERT_TRUE(WarteBisZu(auswahl));
    ASSERT_TRUE(kxtest::WaitUntil([&] { return Zeilen(Gadget(1)) > vorher; }, 5000));
  }
  // Datei > Senden.
  void Senden() { Menue(2); }
  // Row 0 selected, as a click on it does, then the delete button.
  void Loeschen() {
    Zeile_Waehlen(Gadget(1), 0);
    Klick(Gadget(4));
  }
  void Senden(const std::string& pfad, bool ordner = false) {
    Eintragen(pfad, ordner);
    Senden();
  }
  // The code window within `ms` (null when it does not come or the program
  // ends); `jedesMal` runs at every look.
  HWND CodeFenster(DWORD ms, const std::function<void()>& jedesMal = {}) {
    HWND code = nullptr;
    kxtest::WaitUntil([&] {
      code = FindeFenster("Code", nullptr, id());
      if (jedesMal) jedesMal();
      return code || !laeuft();
    }, ms);
    return code;
  }
  // The code in the code window; the window is closed (after a screenshot
  // named `foto`) and the list emptied, as the program does before the
  // next upload may start.
  std::string CodeNehmen(HWND code, const char* foto = nullptr) {
    if (!code) return "";
    // Another process's edit control: its text comes by message, once the
    // window's thread has set it.
    HWND feld = WarteAufGadget(code, 44);
    char puffer[64] = {};
    kxtest::WaitUntil([&] { return feld && SendMessageA(feld, WM_GETTEXT, sizeof puffer, LPARAM(puffer)) > 0; }, 5000);
    if (foto) Bildschirmfoto(code, foto);
    Klick(apptest::Gadget(code, 45));
    WarteBisZu(code);
    kxtest::WaitUntil([&] { return Zeilen(Gadget(1)) == 0; }, 5000);
    return puffer;
  }
  std::string Code(DWORD ms, const char* foto = nullptr) { return CodeNehmen(CodeFenster(ms), foto); }
  // A message box with this title within `ms`: its text, after pressing OK.
  std::string Meldung(const char* titel, DWORD ms) {
    if (!kxtest::WaitUntil([&] { return FindeFenster(titel, "#32770", id()) != nullptr; }, ms)) return "<keine Meldung>";
    return Beantworte(titel, IDOK, id()).text;
  }
  // Tab "Empfangen": the code, "Downloaden", the place typed into the save
  // requester; true once the requester is answered.
  bool Downloaden(const std::string& code, const std::string& ziel) {
    HWND knopf = Gadget(17);
    EXPECT_TRUE(Reiter(Gadget(13), 1, knopf));
    kxtest::WaitUntil([&] { return IsWindowEnabled(knopf); }, 5000);
    Tippen(Gadget(15), code);
    Klick(knopf);
    HWND speichern = WarteAufFenster("Speicherort", "#32770", id());
    HWND feld = speichern ? Dateinamenfeld(speichern) : nullptr;
    if (!feld) return false;
    Tippen(feld, ziel);
    PostMessageA(speichern, WM_COMMAND, IDOK, 0);
    return WarteBisZu(speichern);
  }
  // The message that ends a download (up to `ms`), answered, after a
  // screenshot named `foto` of the main window as it stood.
  apptest::Meldung Abschluss(DWORD ms, const char* foto = nullptr) {
    const char* gekommen = nullptr;
    kxtest::WaitUntil([&] {
      for (const char* titel : {"Download abgeschlossen", "Fehler"}) {
        if (FindeFenster(titel, "#32770", id())) gekommen = titel;
      }
      return gekommen != nullptr;
    }, ms);
    if (!gekommen) return {};
    if (foto) Bildschirmfoto(fenster, foto);
    return Beantworte(gekommen, IDOK, id());
  }
  apptest::Meldung Empfangen(const std::string& code, const std::string& ziel, const char* foto = nullptr) {
    if (!Downloaden(code, ziel)) return {};
    return Abschluss(120000, foto);
  }
  // A progress bar's position.
  int Balken(int nummer) { return int(SendMessageA(Gadget(nummer), PBM_GETPOS, 0, 0)); }
  // Closed through its title bar's close and "Wirklich Beenden": the
  // program ends with code 0.
  void Beenden() {
    Schliessen(fenster);
    Beantworte("Wirklich Beenden", IDYES, id());
    EXPECT_EQ(Ende(), 0);
  }
};

}  // namespace apptest
