// The main window as the program builds it, read back in this process with
// the window system's own messages: window, tabs, every gadget with its
// place, kind and text, the report lists' columns, the menu, the red hints,
// and the debugger's view of the building and of the event loop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/programm.h"
#include "app/ressourcen.h"
#include "app/symbole.h"
#include "runtime/core/strings.h"
#include "runtime/debugger/front_end.h"
#include "runtime/debugger/record.h"
#include "runtime/debugger/type_codes.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/image.h"
#include "runtime/gui/window.h"
#include "tests/app/fahrer.h"
#include "tests/support/temp_folder.h"

using namespace velmora;

namespace {

struct Steuerelement {
  HWND handle = nullptr;
  std::string klasse;
  std::string text;
  RECT rechteck{};  // relative to its parent's client area
};

BOOL CALLBACK Steuerelement_Merken(HWND h, LPARAM p) {
  auto& liste = *reinterpret_cast<std::map<int, Steuerelement>*>(p);
  int id = GetDlgCtrlID(h);
  if (id <= 0 || !GetPropA(h, "KX_ID")) return TRUE;  // tab pages and inner parts
  Steuerelement s;
  s.handle = h;
  char text[512] = {};
  GetClassNameA(h, text, sizeof text);
  s.klasse = text;
  GetWindowTextA(h, text, sizeof text);
  s.text = text;
  GetWindowRect(h, &s.rechteck);
  MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&s.rechteck), 2);
  liste[id] = s;
  return TRUE;
}

std::map<int, Steuerelement> Steuerelemente(HWND fenster) {
  std::map<int, Steuerelement> alle;
  EnumChildWindows(fenster, Steuerelement_Merken, reinterpret_cast<LPARAM>(&alle));
  return alle;
}

class Hauptfenster_Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    kx::SetDebugSymbols(Symboltabellen());
    Startwerte();
    kx::UsePNGImageDecoder();
    ASSERT_TRUE(Bild_Laden(Bild_Ordner, VELMORA_BILD_ORDNER));
    ASSERT_TRUE(Bild_Laden(Bild_Netzlaufwerk, VELMORA_BILD_NETZLAUFWERK));
    ASSERT_TRUE(Bild_Laden(Bild_Papierkorb, VELMORA_BILD_PAPIERKORB));
    ASSERT_EQ(Hauptfenster_Oeffnen(), 1);
    fenster = kx::WindowID(Hauptfenster);
    elemente = Steuerelemente(fenster);
    // Both tabs as a person sees them.
    apptest::Bildschirmfoto(fenster, "hauptfenster_senden");
    kx::SetGadgetState(Panel_Gadget_1, 1);
    apptest::Bildschirmfoto(fenster, "hauptfenster_empfangen");
    kx::SetGadgetState(Panel_Gadget_1, 0);
  }
  static void TearDownTestSuite() {
    kx::CloseWindow(Hauptfenster);
    kx::SetDebugSymbols(nullptr);
  }
  static HWND fenster;
  static std::map<int, Steuerelement> elemente;
};
HWND Hauptfenster_Test::fenster = nullptr;
std::map<int, Steuerelement> Hauptfenster_Test::elemente;

}  // namespace

TEST_F(Hauptfenster_Test, WindowTitlePlaceAndInnerSize) {
  ASSERT_NE(fenster, nullptr);
  char titel[100] = {};
  GetWindowTextA(fenster, titel, sizeof titel);
  EXPECT_STREQ(titel, "Velmora v 1.0 Release");
  int32_t x = 0, y = 0, breite = 0, hoehe = 0;
  ASSERT_TRUE(kx::WindowGeometry(Hauptfenster, &x, &y, &breite, &hoehe));
  EXPECT_EQ(breite, 631);
  EXPECT_EQ(hoehe, 537);
  RECT aussen;
  GetWindowRect(fenster, &aussen);
  EXPECT_EQ(aussen.left, 225);
  EXPECT_EQ(aussen.top, 55);
  LONG stil = GetWindowLongA(fenster, GWL_STYLE);
  EXPECT_EQ(stil & 0xCF0000, 0xCF0000);
}

TEST_F(Hauptfenster_Test, EveryGadgetWithItsKindPlaceAndText) {
  struct {
    int nummer;
    const char* klasse;
    int x, y, b, h;
    const char* text;
  } erwartet[] = {
      {13, "SysTabControl32", 1, 1, 631, 617, nullptr},
      {1, "SysListView32", 10, 110, 607, 320, nullptr},
      {2, "Button", 10, 40, 40, 40, nullptr},
      {3, "Button", 300, 40, 40, 40, nullptr},
      {4, "Button", 575, 40, 40, 40, nullptr},
      {8, "msctls_progress32", 387, 450, 230, 25, nullptr},
      {6, "Static", 10, 453, 60, 20, "Vorbereiten:"},
      {7, "Static", 340, 453, 40, 20, "Senden:"},
      {5, "msctls_progress32", 77, 450, 230, 25, nullptr},
      {23, "Static", 180, 477, 50, 20, "0%"},
      {24, "Static", 495, 477, 50, 15, "0%"},
      {37, "Static", 55, 55, 115, 20, "< Bitte Datei auswählen"},
      {38, "Static", 345, 55, 200, 30, ""},
      {14, "SysListView32", 10, 140, 607, 290, nullptr},
      {15, "Edit", 205, 53, 230, 30, ""},
      {16, "Static", 55, 60, 140, 15, "Bitte hier den Code eingeben:"},
      {17, "Button", 445, 53, 100, 30, "Downloaden"},
      {18, "Static", 17, 453, 50, 20, "Download:"},
      {19, "msctls_progress32", 77, 450, 230, 25, nullptr},
      {20, "Static", 320, 453, 60, 20, "Fertigstellen:"},
      {21, "msctls_progress32", 387, 450, 230, 25, nullptr},
      {40, "Static", 180, 477, 50, 20, "0%"},
      {41, "Static", 495, 477, 50, 15, "0%"},
  };
  EXPECT_EQ(elemente.size(), std::size(erwartet));
  for (const auto& e : erwartet) {
    SCOPED_TRACE("gadget " + std::to_string(e.nummer));
    auto gefunden = elemente.find(e.nummer);
    ASSERT_NE(gefunden, elemente.end());
    const Steuerelement& s = gefunden->second;
    EXPECT_STRCASEEQ(s.klasse.c_str(), e.klasse);
    EXPECT_EQ(s.rechteck.left, e.x);
    EXPECT_EQ(s.rechteck.top, e.y);
    EXPECT_EQ(s.rechteck.right - s.rechteck.left, e.b);
    EXPECT_EQ(s.rechteck.bottom - s.rechteck.top, e.h);
    if (e.text) {
      EXPECT_EQ(s.text, e.text);
    }
  }
  // The gadgets of tab "Senden" lie on its page, those of "Empfangen" on the other.
  EXPECT_EQ(GetParent(elemente[1].handle), GetParent(elemente[38].handle));
  EXPECT_NE(GetParent(elemente[1].handle), GetParent(elemente[14].handle));
  EXPECT_EQ(GetParent(elemente[14].handle), GetParent(elemente[41].handle));
}

// Column titles and widths and the tab titles are read from outside by the
// program test (kxprobe); here what a probe does not show.
TEST_F(Hauptfenster_Test, ListsBarsAndButtonsAreSetUp) {
  EXPECT_EQ(SendMessageA(elemente[13].handle, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageA(elemente[1].handle, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(elemente[14].handle, LVM_GETITEMCOUNT, 0, 0), 1);  // one empty row
  EXPECT_TRUE(SendMessageA(elemente[1].handle, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);

  for (int balken : {5, 8, 19, 21}) {
    EXPECT_EQ(SendMessageA(elemente[balken].handle, PBM_GETRANGE, TRUE, 0), 0) << balken;
    EXPECT_EQ(SendMessageA(elemente[balken].handle, PBM_GETRANGE, FALSE, 0), 100) << balken;
  }
  // "Downloaden" stays pressed once clicked.
  LONG stil = GetWindowLongA(elemente[17].handle, GWL_STYLE);
  EXPECT_EQ(stil & (BS_PUSHLIKE | BS_TYPEMASK), BS_PUSHLIKE | BS_AUTOCHECKBOX);
  // The three button pictures, 40 x 40.
  for (intptr_t bild : {Bild_Ordner, Bild_Netzlaufwerk, Bild_Papierkorb}) {
    BITMAP daten = {};
    ASSERT_TRUE(GetObjectA(reinterpret_cast<HGDIOBJ>(kx::ImageID(bild)), sizeof daten, &daten)) << bild;
    EXPECT_EQ(daten.bmWidth, 40);
    EXPECT_EQ(daten.bmHeight, 40);
  }
}

TEST_F(Hauptfenster_Test, HintsAreRed) {
  HDC dc = CreateCompatibleDC(nullptr);
  for (int hinweis : {37, 38}) {
    SetTextColor(dc, RGB(0, 0, 0));
    HWND h = elemente[hinweis].handle;
    SendMessageA(GetParent(h), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h));
    EXPECT_EQ(GetTextColor(dc), RGB(200, 1, 1)) << hinweis;
  }
  DeleteDC(dc);
}

TEST_F(Hauptfenster_Test, MenuTitlesAndItems) {
  HMENU leiste = GetMenu(fenster);
  ASSERT_NE(leiste, nullptr);
  struct {
    const char* titel;
    std::vector<std::pair<int, std::string>> eintraege;
  } erwartet[] = {{"Datei", {{1, "Hinzufügen"}, {2, "Senden"}, {3, "Löschen"}}},
                  {"Extras", {{4, "Über..."}, {6, "Privat senden"}}},
                  {"Server", {{5, "Server-Zugang"}}}};
  ASSERT_EQ(GetMenuItemCount(leiste), 3);
  for (int t = 0; t < 3; ++t) {
    char text[64] = {};
    GetMenuStringA(leiste, t, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, erwartet[t].titel);
    HMENU menue = GetSubMenu(leiste, t);
    ASSERT_EQ(GetMenuItemCount(menue), int(erwartet[t].eintraege.size()));
    for (int i = 0; i < GetMenuItemCount(menue); ++i) {
      GetMenuStringA(menue, i, text, sizeof text, MF_BYPOSITION);
      EXPECT_EQ(text, erwartet[t].eintraege[i].second);
      EXPECT_EQ(int(GetMenuItemID(menue, i)), erwartet[t].eintraege[i].first);
    }
  }
}

namespace {

int Zeile_Im_Quelltext(const char* datei, const char* text) {
  std::string pfad = kxtest::WinePath(std::string(std::getenv("VELMORA_SOURCE_DIR")) + "/app/" + datei);
  std::string inhalt = kxtest::ReadBytes(pfad);
  size_t at = inhalt.find(text);
  if (at == std::string::npos) return -1;
  return 1 + int(std::count(inhalt.begin(), inhalt.begin() + at, '\n'));
}

// Front-end of the event-loop run: counts the rounds in which the loop's
// first line and its wait were reported from ereignisse.cpp; after 60 lines
// it says what it saw and ends the program as a front-end that ends it would.
int g_zeilen = 0, g_warten = 0, g_zustand = 0, g_zeileWarten = 0, g_zeileZustand = 0;
void Zeile_Zaehlen(int32_t code, void*) {
  if (std::string(kx::SourceFileName(code)) == "ereignisse.cpp") {
    int zeile = (code & 0xFFFFFF) + 1;
    g_warten += zeile == g_zeileWarten;
    g_zustand += zeile == g_zeileZustand;
  }
  if (++g_zeilen == 60) {
    std::fprintf(stderr, "%s\n", g_warten >= 3 && g_zustand >= 3 ? "Runden gesehen" : "zu wenige Runden");
    kx::CurrentDebuggerRecord()->state = kx::StateFatal;
  }
}
const kx::DebuggerFrontEnd Zeilenzaehler = {"loop", nullptr, nullptr, nullptr, nullptr, nullptr, Zeile_Zaehlen};

void Schleife_Laufen_Lassen(HWND fenster) {
  g_zeileWarten = Zeile_Im_Quelltext("ereignisse.cpp", "EventID = kx::WaitWindowEvent()");
  g_zeileZustand = Zeile_Im_Quelltext("ereignisse.cpp", "if (kx::GetGadgetState(ListIcon_0) == -1) {\n      Z_ kx::DisableGadget");
  kx::SetDebuggerFrontEnd(&Zeilenzaehler);
  for (int i = 0; i < 40; ++i) PostMessageA(fenster, WM_APP + 1, 0, 0);
  Ereignisschleife();
}

}  // namespace

// The loop runs (each posted message is one round) and the debugger ends it.
TEST_F(Hauptfenster_Test, EventLoopReportsItsLinesAsItRuns) {
  EXPECT_EXIT(Schleife_Laufen_Lassen(fenster), ::testing::ExitedWithCode(1), "Runden gesehen");
}
