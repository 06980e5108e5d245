// Velmora.exe as a process of its own for the tests that drive it from
// outside: started with TEMP and TMP in a fresh folder (so its persistent and
// private folders land there) and its console output in a log that a failing
// test shows; its windows and report lists read through the window system
// and the process's memory, as a UI-automation tool would.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/app/fahrer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace apptest {

// A buffer in another process's memory, for the messages whose argument
// points to memory (another process's controls read and write it there);
// freed with the object.
class FremderPuffer {
 public:
  FremderPuffer(HANDLE prozess, SIZE_T groesse)
      : prozess_(prozess), adresse_(static_cast<char*>(
                               VirtualAllocEx(prozess, nullptr, groesse, MEM_COMMIT, PAGE_READWRITE))) {}
  ~FremderPuffer() {
    if (adresse_) VirtualFreeEx(prozess_, adresse_, 0, MEM_RELEASE);
  }
  FremderPuffer(const FremderPuffer&) = delete;
  FremderPuffer& operator=(const FremderPuffer&) = delete;

  explicit operator bool() const { return adresse_ != nullptr; }
  // The address in the other process, `ab` bytes in.
  char* adresse(SIZE_T ab = 0) const { return adresse_ + ab; }
  LPARAM lparam() const { return LPARAM(adresse_); }
  bool Schreiben(const void* daten, SIZE_T laenge, SIZE_T ab = 0) const {
    return adresse_ && WriteProcessMemory(prozess_, adresse_ + ab, daten, laenge, nullptr);
  }
  bool Lesen(void* daten, SIZE_T laenge, SIZE_T ab = 0) const {
    return adresse_ && ReadProcessMemory(prozess_, adresse_ + ab, daten, laenge, nullptr);
  }

 private:
  HANDLE prozess_;
  char* adresse_;
};

class VelmoraProzess {
 public:
  static constexpr const char* Titel = "Velmora v 1.0 Release";

  // Starts the program; waits for its main window and its last gadget.
  explicit VelmoraProzess(const std::string& temp) {
    std::string programm = kxtest::WinePath(std::string(std::getenv("VELMORA_BINARY_DIR")) + "/app/Velmora.exe");
    std::string umgebung;
    for (const char* e = GetEnvironmentStringsA(); *e; e += lstrlenA(e) + 1) {
      if (_strnicmp(e, "TEMP=", 5) != 0 && _strnicmp(e, "TMP=", 4) != 0) umgebung.append(e).push_back('\0');
    }
    umgebung.append("TEMP=" + temp).push_back('\0');
    umgebung.append("TMP=" + temp).push_back('\0');
    umgebung.push_back('\0');
    SECURITY_ATTRIBUTES erben = {sizeof erben, nullptr, TRUE};
    ausgabe_ = temp + "\\programm.log";
    HANDLE log = CreateFileA(ausgabe_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &erben,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = log;
    start.hStdError = log;
    // Under load Wine now and then fails to create a process at all (the
    // program never ran); such a start is tried again, up to three times.
    std::string fehler;
    BOOL gestartet = FALSE;
    for (int versuch = 0; versuch < 3 && !gestartet; ++versuch) {
      std::string zeile = "\"" + programm + "\"";
      gestartet = CreateProcessA(programm.c_str(), zeile.data(), nullptr, nullptr, TRUE, 0, umgebung.data(), nullptr,
                                 &start, &prozess_);
      if (!gestartet) fehler += " " + std::to_string(GetLastError());
    }
    CloseHandle(log);
    if (!fehler.empty()) std::printf("starting %s failed, error%s\n", programm.c_str(), fehler.c_str());
    if (!gestartet) {
      ADD_FAILURE() << "cannot start " << programm << ", error" << fehler;
      return;
    }
    fenster = WarteAufFenster(Titel, nullptr, prozess_.dwProcessId);
    // The main window opens before its gadgets are built, and the event
    // loop's first round sets their starting state: a message is answered
    // only from there.
    if (fenster && WarteAufGadget(fenster, 41)) kxtest::WaitUntil([&] { return Antwortet(); }, 10000);
  }
  ~VelmoraProzess() {
    if (testing::Test::HasFailure()) std::printf("%s", kxtest::ReadBytes(ausgabe_).c_str());
    if (prozess_.hProcess) {
      if (laeuft()) TerminateProcess(prozess_.hProcess, 99);
      WaitForSingleObject(prozess_.hProcess, 10000);
      CloseHandle(prozess_.hProcess);
      CloseHandle(prozess_.hThread);
    }
  }
  VelmoraProzess(const VelmoraProzess&) = delete;
  VelmoraProzess& operator=(const VelmoraProzess&) = delete;

  DWORD id() const { return prozess_.dwProcessId; }
  bool laeuft() const { return WaitForSingleObject(prozess_.hProcess, 0) == WAIT_TIMEOUT; }
  // Waits up to 20 s for the end; the exit code, or -1 if it still runs.
  long Ende() {
    if (WaitForSingleObject(prozess_.hProcess, 20000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(prozess_.hProcess, &code);
    return long(code);
  }
  // Whether the main window answers a message within `ms`.
  bool Antwortet(UINT ms = 1000) const {
    DWORD_PTR ergebnis = 0;
    return SendMessageTimeoutA(fenster, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &ergebnis) != 0;
  }
  void Toeten() {
    TerminateProcess(prozess_.hProcess, 9);
    WaitForSingleObject(prozess_.hProcess, 10000);
  }

  // A menu item, chosen as the menu bar would report it.
  void Menue(int eintrag) { PostMessageA(fenster, WM_COMMAND, MAKEWPARAM(eintrag, 0), 0); }
  HWND Warte(const char* titel) { return WarteAufFenster(titel, nullptr, id()); }

  // Text of a cell of a report list of the program (read through its memory).
  std::string Zelle(HWND liste, int zeile, int spalte) {
    char text[512] = {};
    FremderPuffer fremd(prozess_.hProcess, sizeof(LVITEMA) + sizeof text);
    LVITEMA eintrag = {};
    eintrag.iSubItem = spalte;
    eintrag.pszText = fremd.adresse(sizeof(LVITEMA));
    eintrag.cchTextMax = sizeof text;
    if (!fremd.Schreiben(&eintrag, sizeof eintrag)) return "";
    SendMessageA(liste, LVM_GETITEMTEXTA, zeile, fremd.lparam());
    fremd.Lesen(text, sizeof text - 1, sizeof(LVITEMA));
    return text;
  }
  int Zeilen(HWND liste) { return int(SendMessageA(liste, LVM_GETITEMCOUNT, 0, 0)); }
  // The row selected and focused, as a click on it leaves it.
  void Zeile_Waehlen(HWND liste, int zeile) {
    FremderPuffer fremd(prozess_.hProcess, sizeof(LVITEMA));
    LVITEMA eintrag = {};
    eintrag.stateMask = eintrag.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (fremd.Schreiben(&eintrag, sizeof eintrag)) SendMessageA(liste, LVM_SETITEMSTATE, zeile, fremd.lparam());
  }

  // Tab `reiter` of the panel, chosen by the mouse messages of a click on
  // it, so that the program hears of the change and shows the tab's page
  // (TCM_SETCURSEL alone turns the tab and leaves the page hidden).  Waits
  // for `zeichen`, a gadget of that page, to show; false if it does not.
  bool Reiter(HWND panel, int reiter, HWND zeichen) {
    FremderPuffer fremd(prozess_.hProcess, sizeof(RECT));
    RECT r = {};
    if (fremd && SendMessageA(panel, TCM_GETITEMRECT, reiter, fremd.lparam())) fremd.Lesen(&r, sizeof r);
    const LPARAM mitte = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, mitte);
    PostMessageA(panel, WM_LBUTTONUP, 0, mitte);
    return kxtest::WaitUntil([&] { return IsWindowVisible(zeichen) != FALSE; }, 5000);
  }

  HWND fenster = nullptr;

 private:
  PROCESS_INFORMATION prozess_ = {};
  std::string ausgabe_;
};

}  // namespace apptest
