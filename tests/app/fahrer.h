// Drives windows of this process from a second thread while the GUI thread
// sits in a dialog's event loop or a message box: waits for a window by its
// title, clicks, types, answers message boxes.  Everything goes through the
// window system's messages, as a user's UI-automation tool would.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "runtime/gui/png.h"
#include "tests/gui/gui_support.h"
#include "tests/support/wait_until.h"

namespace apptest {

// Visible top-level window of the process with this title (any title for
// nullptr) and class (if given); nullptr if there is none.
struct FensterSuche {
  const char* titel;
  const char* klasse;
  DWORD prozess;
  HWND gefunden;
};

inline BOOL CALLBACK FensterPruefen(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<FensterSuche*>(p);
  DWORD von = 0;
  GetWindowThreadProcessId(h, &von);
  char text[256] = {}, klasse[64] = {};
  GetWindowTextA(h, text, sizeof text);
  GetClassNameA(h, klasse, sizeof klasse);
  if (von == s->prozess && IsWindowVisible(h) && (!s->titel || lstrcmpA(text, s->titel) == 0) &&
      (!s->klasse || lstrcmpiA(klasse, s->klasse) == 0)) {
    s->gefunden = h;
    return FALSE;
  }
  return TRUE;
}

inline HWND FindeFenster(const char* titel, const char* klasse = nullptr, DWORD prozess = GetCurrentProcessId()) {
  FensterSuche suche = {titel, klasse, prozess, nullptr};
  EnumWindows(FensterPruefen, reinterpret_cast<LPARAM>(&suche));
  return suche.gefunden;
}

// The same, waiting up to 10 s for it.
inline HWND WarteAufFenster(const char* titel, const char* klasse = nullptr, DWORD prozess = GetCurrentProcessId()) {
  HWND h = nullptr;
  kxtest::WaitUntil([&] { return (h = FindeFenster(titel, klasse, prozess)) != nullptr; }, 10000);
  return h;
}

// Waits until the window is gone (up to 10 s); true if it went.
inline bool WarteBisZu(HWND h) {
  return kxtest::WaitUntil([&] { return !IsWindow(h); }, 10000);
}

// The control with this gadget number among the window's descendants.
struct GadgetSuche {
  int nummer;
  HWND gefunden;
};

inline BOOL CALLBACK GadgetPruefen(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<GadgetSuche*>(p);
  if (GetDlgCtrlID(h) == s->nummer && GetPropA(h, "KX_ID")) {
    s->gefunden = h;
    return FALSE;
  }
  return TRUE;
}

inline HWND Gadget(HWND fenster, int nummer) {
  GadgetSuche suche = {nummer, nullptr};
  EnumChildWindows(fenster, GadgetPruefen, reinterpret_cast<LPARAM>(&suche));
  return suche.gefunden;
}

// The file name field of a file dialog: the edit of combo box 0x47C, or edit
// 0x47C or 0x480; nullptr if there is none.
inline BOOL CALLBACK DateinamenfeldPruefen(HWND child, LPARAM out) {
  const int id = GetDlgCtrlID(child);
  char klasse[32] = {};
  GetClassNameA(child, klasse, sizeof klasse);
  if ((id == 0x47C || id == 0x480) && lstrcmpiA(klasse, "Edit") == 0) {
    *reinterpret_cast<HWND*>(out) = child;
    return FALSE;
  }
  if (id == 0x47C && lstrcmpiA(klasse, "ComboBox") == 0) {
    if (HWND edit = FindWindowExA(child, nullptr, "Edit", nullptr)) {
      *reinterpret_cast<HWND*>(out) = edit;
      return FALSE;
    }
  }
  return TRUE;
}

inline HWND Dateinamenfeld(HWND dialog) {
  HWND gefunden = nullptr;
  EnumChildWindows(dialog, DateinamenfeldPruefen, reinterpret_cast<LPARAM>(&gefunden));
  return gefunden;
}

// Waits (up to 10 s) for the gadget: a window shows before its gadgets are built.
inline HWND WarteAufGadget(HWND fenster, int nummer) {
  HWND h = nullptr;
  kxtest::WaitUntil([&] { return (h = Gadget(fenster, nummer)) != nullptr; }, 10000);
  return h;
}

inline std::string Text(HWND h) {
  char text[4096] = {};
  GetWindowTextA(h, text, sizeof text);
  return text;
}

inline void Klick(HWND knopf) { PostMessageA(knopf, BM_CLICK, 0, 0); }
inline void Tippen(HWND feld, const std::string& text) { SendMessageA(feld, WM_SETTEXT, 0, LPARAM(text.c_str())); }
inline void Schliessen(HWND fenster) { PostMessageA(fenster, WM_CLOSE, 0, 0); }

inline BOOL CALLBACK MeldungstextPruefen(HWND h, LPARAM p) {
  char klasse[32] = {};
  GetClassNameA(h, klasse, sizeof klasse);
  std::string text = Text(h);
  if (lstrcmpiA(klasse, "Static") == 0 && !text.empty()) *reinterpret_cast<std::string*>(p) = text;
  return TRUE;
}

struct Meldung {
  std::string titel;
  std::string text;
};

// Waits for a message box with this title, reads it and answers with the
// button (IDOK, IDYES, IDNO ...).
inline Meldung Beantworte(const char* titel, int knopf, DWORD prozess = GetCurrentProcessId()) {
  Meldung m;
  HWND box = WarteAufFenster(titel, "#32770", prozess);
  if (!box) return m;
  m.titel = titel;
  // The message is the box's non-empty static text.
  EnumChildWindows(box, MeldungstextPruefen, reinterpret_cast<LPARAM>(&m.text));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(knopf, BN_CLICKED), LPARAM(GetDlgItem(box, knopf)));
  WarteBisZu(box);
  return m;
}

// Saves what the screen shows of the window (frame and all) as
// <build tree>/screenshots/<name>.png, for a person to look at.
inline bool Bildschirmfoto(HWND fenster, const std::string& name) {
  const char* bau = std::getenv("VELMORA_BINARY_DIR");
  if (!bau || !fenster) return false;
  std::string ordner = "Z:" + std::string(bau) + "/screenshots";
  for (char& c : ordner) c = c == '/' ? '\\' : c;
  CreateDirectoryA(ordner.c_str(), nullptr);
  RedrawWindow(fenster, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  if (GetWindowThreadProcessId(fenster, nullptr) == GetCurrentThreadId()) {
    // Our own window: paint it here.
    kxtest::PumpUntilPainted(fenster);
  } else {
    kxtest::WaitUntil([&] { return kxtest::Painted(fenster); }, 2000);  // the owning thread paints
  }
  RECT r;
  GetWindowRect(fenster, &r);
  HDC bildschirm = GetDC(nullptr);
  HDC speicher = CreateCompatibleDC(bildschirm);
  HBITMAP bild = CreateCompatibleBitmap(bildschirm, r.right - r.left, r.bottom - r.top);
  HGDIOBJ alt = SelectObject(speicher, bild);
  BitBlt(speicher, 0, 0, r.right - r.left, r.bottom - r.top, bildschirm, r.left, r.top, SRCCOPY);
  SelectObject(speicher, alt);
  bool gespeichert = kx::SaveBitmapAsPng(bild, (ordner + "\\" + name + ".png").c_str()) != 0;
  DeleteObject(bild);
  DeleteDC(speicher);
  ReleaseDC(nullptr, bildschirm);
  return gespeichert;
}

// A second thread that runs the steps while the calling thread runs the dialog.
class Fahrer {
 public:
  explicit Fahrer(std::function<void()> schritte) : thread_(std::move(schritte)) {}
  ~Fahrer() { thread_.join(); }

 private:
  std::thread thread_;
};

}  // namespace apptest
