// What the pipeline tests share: the test program's transfer server (FTP and
// web side of one root, see transfer_servers.sh), a stand-in for the main
// window with the gadgets the pipelines write to, and an operator thread that
// answers the program's dialogs the way a user would: it reads and confirms
// message boxes, types a path into the save requester (or cancels it), and
// reads and closes the code window.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/pipelines.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/window.h"
#include "runtime/network/network.h"
#include "tests/app/fahrer.h"
#include "tests/support/report_recorder.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace pipetest {

inline std::string S(const char* text) { return text ? text : ""; }
inline void Setzen(char** variable, const std::string& text) { kx::AssignString(variable, text.c_str()); }

// Transfer data (see random_bytes.h).
inline std::string Zufallsbytes(size_t size, uint32_t seed) { return kxtest::RandomBytes(size, seed); }

// ---- the transfer server ------------------------------------------------------

class Server {
 public:
  Server() {
    const char* state = std::getenv("VELMORA_TRANSFER_STATE");
    state_ = state ? state : "";
    address_ = Trim(kxtest::ReadBytes(Win(state_ + "/ftp.address")));
    port_ = Trim(kxtest::ReadBytes(Win(state_ + "/web.port")));
  }
  bool ok() const { return !state_.empty() && !address_.empty() && port_.find('<') == std::string::npos; }
  std::string address() const { return address_; }
  std::string domain() const { return "127.0.0.1:" + port_; }
  // A path below the served root, as the Windows side sees it ("SPLIT\\3").
  std::string root(const std::string& below = "") const {
    return Win(state_ + "/root") + (below.empty() ? "" : "\\" + below);
  }
  std::string ftpLog() const { return kxtest::ReadBytes(Win(state_ + "/ftp.log")); }

  // Empties SPLIT (the test starts from a server without transfers).
  void leeren() const {
    kxtest::RemoveTree(root("SPLIT"));
    CreateDirectoryA(root("SPLIT").c_str(), nullptr);
  }

  // Stops or starts the FTP server through the fixture's control files.
  bool ftpStoppen() const { return Steuern("ftp.stop", "stopped"); }
  bool ftpStarten() const { return Steuern("ftp.start", "running"); }

 private:
  static std::string Win(const std::string& unixPath) { return kxtest::WinePath(unixPath); }
  static std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }
  bool Steuern(const char* anfrage, const char* zustand) const {
    const std::string datei = Win(state_ + "/" + anfrage);
    kxtest::WriteBytes(datei, "1");
    kxtest::WaitUntil([&] { return !kxtest::Exists(datei); }, 15000);
    // The port file is rewritten once the restarted server listens.
    return !kxtest::Exists(datei) && Trim(kxtest::ReadBytes(Win(state_ + "/ftp.state"))) == zustand;
  }

  std::string state_, address_, port_;
};

// ---- the dialogs, answered from outside -----------------------------------------

struct Meldung {
  std::string titel;
  std::string text;
};

inline std::string Fenstertext(HWND window) {
  char text[4096] = "";
  DWORD_PTR ergebnis = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                      &ergebnis);
  return text;
}

inline std::string Klasse(HWND window) {
  char name[128] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

class Bediener {
 public:
  Bediener() : thread_([this] { Laufen(); }) {}
  ~Bediener() {
    ende_ = true;
    thread_.join();
  }
  Bediener(const Bediener&) = delete;
  Bediener& operator=(const Bediener&) = delete;

  // The answer to the next save requester: a path, or "" to cancel it.
  void speichernAls(const std::string& pfad) {
    std::lock_guard<std::mutex> lock(mutex_);
    speichern_ = pfad;
  }
  std::vector<Meldung> meldungen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return meldungen_;
  }
  std::vector<std::string> codes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return codes_;
  }
  bool hatMeldung(const std::string& titel, const std::string& text) const {
    for (const Meldung& m : meldungen())
      if (m.titel == titel && m.text == text) return true;
    return false;
  }
  // Waits until a message box with this title was confirmed.
  bool warteAufMeldung(const std::string& titel, DWORD ms) const {
    return kxtest::WaitUntil([&] {
      for (const Meldung& m : meldungen())
        if (m.titel == titel) return true;
      return false;
    }, ms);
  }
  // Another window the test wants to drive (by its title).
  void beiFenster(const std::string& titel, std::function<void(HWND)> tun) {
    std::lock_guard<std::mutex> lock(mutex_);
    weitere_.push_back({titel, std::move(tun)});
  }

 private:
  struct Weiteres {
    std::string titel;
    std::function<void(HWND)> tun;
  };

  static BOOL CALLBACK Sammeln(HWND window, LPARAM liste) {
    DWORD prozess = 0;
    GetWindowThreadProcessId(window, &prozess);
    if (prozess == GetCurrentProcessId() && IsWindowVisible(window))
      reinterpret_cast<std::vector<HWND>*>(liste)->push_back(window);
    return TRUE;
  }

  static HWND Dateinamenfeld(HWND dialog) { return apptest::Dateinamenfeld(dialog); }

  void Bedienen(HWND window) {
    const std::string titel = Fenstertext(window);
    if (Klasse(window) == "#32770" && titel == "Speicherort") {
      std::string pfad;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        pfad = speichern_;
      }
      HWND feld = Dateinamenfeld(window);
      if (pfad.empty() || !feld) {
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
      } else {
        SendMessageA(feld, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pfad.c_str()));
        PostMessageA(window, WM_COMMAND, IDOK, 0);
      }
      return;
    }
    if (Klasse(window) == "#32770") {  // a message box: its text is the static 0xFFFF
      Meldung m{titel, Fenstertext(GetDlgItem(window, 0xFFFF))};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        meldungen_.push_back(m);
      }
      HWND ok = GetDlgItem(window, IDOK);
      PostMessageA(window, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
      return;
    }
    if (titel == "Code") {
      HWND feld = GetDlgItem(window, int(velmora::Code_String_1));
      HWND knopf = GetDlgItem(window, int(velmora::Code_Beenden_Button));
      if (!feld || !knopf) return;  // still being built: next round
      {
        std::lock_guard<std::mutex> lock(mutex_);
        codes_.push_back(Fenstertext(feld));
      }
      PostMessageA(knopf, BM_CLICK, 0, 0);
      return;
    }
    std::vector<Weiteres> weitere;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      weitere = weitere_;
    }
    for (const Weiteres& w : weitere)
      if (w.titel == titel) w.tun(window);
  }

  void Laufen() {
    std::set<HWND> bedient;
    while (!ende_) {
      std::vector<HWND> fenster;
      EnumWindows(Sammeln, reinterpret_cast<LPARAM>(&fenster));
      for (HWND window : fenster) {
        if (bedient.count(window)) continue;
        const size_t vorher = meldungen().size() + codes().size();
        const std::string titel = Fenstertext(window);
        Bedienen(window);
        // A window counts as served once it was answered (a code window may
        // need a second look while its gadgets are built).
        if (Klasse(window) == "#32770" || meldungen().size() + codes().size() > vorher) bedient.insert(window);
        (void)titel;
      }
      // Handles of closed windows may come back for new ones.
      std::set<HWND> offen(fenster.begin(), fenster.end());
      for (auto it = bedient.begin(); it != bedient.end();) it = offen.count(*it) ? std::next(it) : bedient.erase(it);
      Sleep(30);
    }
  }

  mutable std::mutex mutex_;
  std::string speichern_;
  std::vector<Meldung> meldungen_;
  std::vector<std::string> codes_;
  std::vector<Weiteres> weitere_;
  std::atomic<bool> ende_{false};
  std::thread thread_;
};

// ---- the program's state around one test -------------------------------------------

// The main window's gadgets that the pipelines write to, with their numbers,
// in a window of the test: send list 1 (six columns, one row), bars 5, 8, 19,
// 21, texts 23, 24, 40, 41, receive list 14 (one row) and button 17.
inline bool Hauptfenster_Nachbilden() {
  using namespace velmora;
  if (!kx::OpenWindow(Hauptfenster, 225, 55, 631, 537, "Velmora Test", 0xCF0000)) return false;
  kx::ListIconGadget(ListIcon_0, 10, 110, 607, 150, "Name", 180, 0);
  const char* spalten[] = {"Gr\xF6\xDF" "e komprimiert", "Gesendet:", "Geschwindigkeit", "Gr\xF6\xDF" "e", "Dauer"};
  for (int i = 0; i < 5; ++i) kx::AddGadgetColumn(ListIcon_0, i + 1, spalten[i], 80);
  kx::ListIconGadget(ListIcon_1, 10, 270, 607, 100, "Dateiname", 300, 0);
  kx::AddGadgetColumn(ListIcon_1, 1, "Gesendet:", 100);
  kx::AddGadgetColumn(ListIcon_1, 2, "Geschwindigkeit", 100);
  kx::AddGadgetColumn(ListIcon_1, 3, "Gr\xF6\xDF" "e", 100);
  kx::AddGadgetItem(ListIcon_1, -1, "");
  kx::ProgressBarGadget(ProgressBar_Vorbereiten, 77, 400, 230, 25, 0, 100);
  kx::ProgressBarGadget(ProgressBar_Upload, 387, 400, 230, 25, 0, 100);
  kx::ProgressBarGadget(ProgressBar_4, 77, 450, 230, 25, 0, 100);
  kx::ProgressBarGadget(ProgressBar_5, 387, 450, 230, 25, 0, 100);
  kx::TextGadget(Text_11, 180, 427, 50, 20, "0%");
  kx::TextGadget(Text_12, 495, 427, 50, 15, "0%");
  kx::TextGadget(Text_30, 180, 477, 50, 20, "0%");
  kx::TextGadget(Text_31, 495, 477, 50, 15, "0%");
  kx::TextGadget(Text_26, 345, 55, 200, 30, "");
  kx::ButtonGadget(ButtonImage_1, 300, 40, 40, 40, "");
  kx::ButtonGadget(Button_0, 445, 53, 100, 30, "Downloaden", kx::ButtonToggle);
  return true;
}

inline std::string Zelle(intptr_t liste, int32_t spalte) {
  std::string text = kx::GetGadgetItemText(liste, 0, spalte, kx::GetStringMark());
  return text;
}

// Serves the window while waiting: until `fertig` holds or the time is over.
// `jedesMal` runs after every round (to watch gadgets).
inline bool Warten(const std::function<bool()>& fertig, DWORD ms, const std::function<void()>& jedesMal = {}) {
  return kxtest::WaitUntil([&] {
    if (fertig()) return true;
    kx::WaitWindowEvent(10);
    if (jedesMal) jedesMal();
    return false;
  }, ms);
}

// Whether every thread the runtime started has ended: the code window's
// thread, whose number nobody keeps, ends with the upload's clean-up.
inline bool AlleThreadsBeendet() {
  std::vector<int32_t> nummern;
  kx::FindDebuggerList("KX_LIBRARY_Thread")->walk([](void* liste, const char*, intptr_t nummer) {
    static_cast<std::vector<int32_t>*>(liste)->push_back(int32_t(nummer));
  }, &nummern);
  for (int32_t nummer : nummern)
    if (kx::ThreadRunning(nummer)) return false;
  return true;
}

// A fresh program state with its own temporary folder (the system's is
// redirected there), the access data of the server, and the stand-in window.
class Programm : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok()) << "no transfer server (VELMORA_TRANSFER_STATE)";
    server_.leeren();
    char base[MAX_PATH + 1];
    GetTempPathA(MAX_PATH, base);
    static int zaehler = 0;
    temp_ = std::string(base) + "velmora_pipe_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++zaehler) + "\\";
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    GetEnvironmentVariableA("TMP", altTmp_, sizeof altTmp_);
    GetEnvironmentVariableA("TEMP", altTemp_, sizeof altTemp_);
    SetEnvironmentVariableA("TMP", temp_.c_str());
    SetEnvironmentVariableA("TEMP", temp_.c_str());
    ZustandLeeren();
    static const int netz = kx::InitNetwork();  // once per process
    (void)netz;
    velmora::Startwerte();
    ZugangSetzen("velmora", "secret");
    ASSERT_TRUE(Hauptfenster_Nachbilden());
  }
  void TearDown() override {
    using namespace velmora;
    // No thread of the pipelines may outlive its test.
    for (auto* t : {&PackerDateiThread, &PackerOrdnerThread, &VorbereitenThread, &UploadThread,
                    &v_Aktualisierer_Upload, &Download_Thread, &v_Aktualisierer_Download, &Zusammenfuegen_Thread,
                    &Unpack_Datei_Thread, &DownloadGeschwindigkeit_Thread, &Downloadfortsetzer_Thread}) {
      Warten([&] { return !kx::ThreadRunning(t->load()); }, 20000);
      EXPECT_FALSE(kx::ThreadRunning(t->load())) << "a pipeline thread still runs";
      if (kx::ThreadRunning(t->load())) kx::StopThread(t->load());
    }
    // The code window's clean-up runs after it is closed: let it end.
    Warten(AlleThreadsBeendet, 10000);
    kx::CloseWindow(Hauptfenster);
    SetEnvironmentVariableA("TMP", altTmp_);
    SetEnvironmentVariableA("TEMP", altTemp_);
    kxtest::RemoveTree(temp_);
    ZustandLeeren();
    // No runtime command was misused on the way.
    for (const auto& report : recorder_.reports()) ADD_FAILURE() << report.key << ": " << report.text;
  }

  void ZugangSetzen(const std::string& user, const std::string& pw) {
    using namespace velmora;
    Setzen(&Connect.ip, server_.address());
    Setzen(&Connect.Domain, server_.domain());
    Setzen(&Connect.user, user);
    Setzen(&Connect.pw, pw);
    Zugang = 1;
  }

  static void ZustandLeeren() {
    using namespace velmora;
    for (char** v : {&Upload_Pack_Pfad, &Upload_Datei_Pfad, &Upload_Ordner_Pfad, &Upload_Pack_Datei_Size,
                     &Speicherort, &TempPfad, &ErfolgreichUbertragen, &Serverordner, &Dateipfad, &Adresse,
                     &v_Ordner, &Gespeicherte_Pack_Datei})
      kx::AssignString(v, nullptr);
    Vorbereiten = 0;
    Splitt_Dateien_Anzahl = 0;
    Aktuelle_Splitt_Datei = 0.0f;
    Aktuelle_Upload_Datei = 0.0f;
    Aktuelle_Download_Datei = 0.0f;
    Upload_Status = 0;
    Grosrel = 0;
    OrdnerZahl = 0;
    Fortsetzen = 0;
    Upload_fortsetzen = 0;
    v_Download = 0;
    Datei_Size = 0;
    Auswahl_Zuletzt = 0;
    Aktuelle_Ornder_Pack_Datei = 0;
  }

  // The send action as the main window runs it, for a file or a folder.
  void Senden() {
    using namespace velmora;
    kx::AddGadgetItem(ListIcon_0, 0, "Eintrag\n\n\n\n1 KB\n");
    Dis = 3;
    Upload_Starten(0);
  }
  bool UploadFertig(DWORD ms, const std::function<void()>& jedesMal = {}) {
    using namespace velmora;
    return Warten([] { return !kx::ThreadRunning(UploadThread) && !kx::ThreadRunning(v_Aktualisierer_Upload); },
                  ms, jedesMal);
  }
  // "Downloaden" as the main window runs it, saving to `ziel` ("" cancels).
  void Empfangen(const std::string& code, const std::string& ziel) {
    using namespace velmora;
    bediener_.speichernAls(ziel);
    kx::DisableGadget(Button_0, 1);
    Setzen(&Adresse, code);
    Download_Starten();
  }
  bool DownloadFertig(DWORD ms) {
    using namespace velmora;
    return Warten(
        [] {
          return !kx::ThreadRunning(Download_Thread) && !kx::ThreadRunning(v_Aktualisierer_Download) &&
                 !kx::ThreadRunning(Zusammenfuegen_Thread) && !kx::ThreadRunning(Unpack_Datei_Thread) &&
                 !kx::ThreadRunning(DownloadGeschwindigkeit_Thread);
        },
        ms);
  }

  std::string lokal(const std::string& name) const { return temp_ + name; }

  kxtest::ReportRecorder recorder_;
  Server server_;
  Bediener bediener_;
  std::string temp_;
  char altTmp_[MAX_PATH + 1] = {};
  char altTemp_[MAX_PATH + 1] = {};
};

}  // namespace pipetest
