// The dialogs driven as a user drives them (a second thread clicks, types and
// answers the message boxes while the dialog's own loop runs here), and what
// the debugger sees of them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/symbole.h"
#include "runtime/core/strings.h"
#include "runtime/debugger/front_end.h"
#include "runtime/debugger/profiler.h"
#include "runtime/debugger/record.h"
#include "runtime/debugger/type_codes.h"
#include "tests/app/fahrer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace velmora;
using namespace apptest;

namespace {

// The procedure on top of the call stack at each reported line.
std::vector<std::string> g_prozeduren;
void Zeile(int32_t, void*) {
  kx::DebuggerRecord* r = kx::CurrentDebuggerRecord();
  const kx::ProcedureEntry* p = r->depth ? kx::FindProcedureByIndex(r->stack[r->depth - 1].procedure) : nullptr;
  g_prozeduren.push_back(p ? p->name : "");
}
// Reports of the runtime's checks: noted, and the program goes on.
std::vector<std::string> g_fehler;
int Fehler_Merken(const kx::ReportDetails& bericht, int) {
  g_fehler.push_back(bericht.key);
  return kx::StateRunning;
}
const kx::DebuggerFrontEnd Aufzeichner = {"dialogs", Fehler_Merken, nullptr, nullptr, nullptr, nullptr, Zeile};

std::string S(const char* text) { return text ? text : ""; }

class Dialoge : public ::testing::Test {
 protected:
  void SetUp() override {
    kx::SetDebugSymbols(Symboltabellen());
    vorher = kx::SetDebuggerFrontEnd(&Aufzeichner);
    g_prozeduren.clear();
    g_fehler.clear();
    kx::ThreadStringStart();
    kx::AssignString(&Templog, (ordner.path() + "\\").c_str());
    kx::AssignString(&Namen.Titel_Auswahlfenster, "Auswahlfenster");
    kx::AssignString(&Fehler.Auswahlfenster_UngueltigerPfad,
                     "Der Pfad ist leider Ungültig. Bitte Pfad überprüfen.");
    for (char** v : {&Upload_Datei_Pfad, &Upload_Ordner_Pfad}) kx::AssignString(v, nullptr);
    Auswahlfenster = 0;
    Zugang = 0;
  }
  void TearDown() override {
    EXPECT_TRUE(g_fehler.empty()) << g_fehler.front();
    kx::SetDebuggerFrontEnd(vorher);
    kx::SetDebugSymbols(nullptr);
  }
  const kx::DebuggerFrontEnd* vorher = nullptr;
  kxtest::TempFolder ordner;
};

}  // namespace

TEST_F(Dialoge, SelectionWithoutCloseButtonSwitchesFieldsAndRefusesAMissingPath) {
  const int32_t index = kx::FindProcedureByAddress(reinterpret_cast<const void*>(&Auswahl_Fenster))->index;
  const int32_t aufrufe = kx::ProcedureCallCount(index);
  LONG stil = 0;
  bool datei_an = false, ordner_aus = false, umgeschaltet = false;
  Meldung meldung;
  std::string datei = ordner / "bericht.pdf";
  kxtest::WriteBytes(datei, "x");
  {
    Fahrer fahrer([&] {
      HWND f = WarteAufFenster("Auswahlfenster");
      ASSERT_NE(f, nullptr);
      ASSERT_NE(WarteAufGadget(f, 59), nullptr);
      stil = GetWindowLongA(f, GWL_STYLE);
      // The folder's field and button are switched off last, after the option is set.
      ordner_aus = kxtest::WaitUntil(
          [&] { return !IsWindowEnabled(Gadget(f, 53)) && !IsWindowEnabled(Gadget(f, 55)); }, 5000);
      datei_an = IsWindowEnabled(Gadget(f, 52)) && IsWindowEnabled(Gadget(f, 54));
      Bildschirmfoto(f, "auswahlfenster");
      Klick(Gadget(f, 51));
      // The window's thread switches the four gadgets one after the other: wait for all of them.
      umgeschaltet = kxtest::WaitUntil(
          [&] {
            return IsWindowEnabled(Gadget(f, 53)) && IsWindowEnabled(Gadget(f, 55)) &&
                   !IsWindowEnabled(Gadget(f, 52)) && !IsWindowEnabled(Gadget(f, 54));
          },
          5000);
      // Back to "Datei", a path that does not exist: the message, and the window stays.
      Klick(Gadget(f, 50));
      Tippen(Gadget(f, 52), "C:\\gibt\\es\\nicht.txt");
      Klick(Gadget(f, 59));
      meldung = Beantworte("Achtung", IDOK);
      EXPECT_FALSE(kxtest::WaitUntil([&] { return !IsWindow(f); }, 100)) << "closed after the message";
      // A real file confirms and closes the window.
      Tippen(Gadget(f, 52), datei);
      Klick(Gadget(f, 59));
      EXPECT_TRUE(WarteBisZu(f));
    });
    Auswahl_Fenster();
  }
  EXPECT_EQ(stil & WS_SYSMENU, 0);
  EXPECT_EQ(stil & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(datei_an);
  EXPECT_TRUE(ordner_aus);
  EXPECT_TRUE(umgeschaltet);
  EXPECT_EQ(meldung.text, "Der Pfad ist leider Ungültig. Bitte Pfad überprüfen.");
  EXPECT_EQ(Auswahlfenster, 4);
  EXPECT_EQ(S(Upload_Datei_Pfad), datei);
  EXPECT_EQ(S(Upload_Ordner_Pfad), "");

  // The debugger saw the procedure's entry and its lines inside its frame.
  EXPECT_EQ(kx::ProcedureCallCount(index), aufrufe + 1);
  int eigene = 0;
  for (const std::string& p : g_prozeduren) eigene += p == "Auswahl_Fenster";
  EXPECT_GT(eigene, 20);
  EXPECT_EQ(kx::CurrentDebuggerRecord()->depth, 0);
}

TEST_F(Dialoge, SelectionTakesAFolderAfterAFileWasChosen) {
  kx::AssignString(&Upload_Datei_Pfad, "C:\\frueher\\gewaehlt.txt");
  {
    Fahrer fahrer([&] {
      HWND f = WarteAufFenster("Auswahlfenster");
      ASSERT_NE(f, nullptr);
      ASSERT_NE(WarteAufGadget(f, 59), nullptr);
      Klick(Gadget(f, 51));
      Tippen(Gadget(f, 53), ordner.path());
      Klick(Gadget(f, 59));
      EXPECT_TRUE(WarteBisZu(f));
    });
    Auswahl_Fenster();
  }
  EXPECT_EQ(Auswahlfenster, 4);
  EXPECT_EQ(S(Upload_Ordner_Pfad), ordner.path());
  EXPECT_EQ(S(Upload_Datei_Pfad), "C:\\frueher\\gewaehlt.txt");  // the other path stays
}

TEST_F(Dialoge, ServerAccessStoresFourBase64LinesAndALongPassword) {
  const std::string passwort(765, 'p');
  Meldung meldung;
  bool leer = false;
  LONG verdeckt = 0;
  {
    Fahrer fahrer([&] {
      HWND f = WarteAufFenster("Server-Zugang");
      ASSERT_NE(f, nullptr);
      ASSERT_NE(WarteAufGadget(f, 39), nullptr);
      leer = Text(Gadget(f, 28)).empty() && Text(Gadget(f, 31)).empty();
      verdeckt = GetWindowLongA(Gadget(f, 31), GWL_STYLE) & ES_PASSWORD;
      Tippen(Gadget(f, 28), "127.0.0.1");
      Tippen(Gadget(f, 29), "localhost:8080");
      Tippen(Gadget(f, 30), "sender");
      Tippen(Gadget(f, 31), passwort);
      Bildschirmfoto(f, "serverzugang");
      Klick(Gadget(f, 39));
      meldung = Beantworte("Achtung", IDOK);
      EXPECT_TRUE(WarteBisZu(f));
    });
    ServerZugang();
  }
  EXPECT_TRUE(leer);
  EXPECT_NE(verdeckt, 0);
  EXPECT_EQ(meldung.text, "Bitte starten sie das Program neu");
  EXPECT_EQ(Zugang, 1);
  std::string erwartet = "MTI3LjAuMC4x\r\nbG9jYWxob3N0OjgwODA=\r\nc2VuZGVy\r\n";
  std::string inhalt = kxtest::ReadBytes(ordner / "Hash.txt");
  ASSERT_GT(inhalt.size(), erwartet.size());
  EXPECT_EQ(inhalt.substr(0, erwartet.size()), erwartet);
  EXPECT_EQ(inhalt.size(), erwartet.size() + 1020 + 2);  // 765 bytes are 1020 Base64 characters
  EXPECT_EQ(S(Connect.user), "sender");  // the plain values: an upload of this run logs in with them

  // The next start reads the file back without any further step.
  Zugang = 0;
  EXPECT_EQ(Zugangsdatei_Lesen(), 1);
  EXPECT_EQ(S(Connect.ip), "127.0.0.1");
  EXPECT_EQ(S(Connect.Domain), "localhost:8080");
  EXPECT_EQ(S(Connect.pw), passwort);
}

TEST_F(Dialoge, AboutWindowShowsTheVersionTextReadOnlyAndCloses) {
  kx::AssignString(&Version.Text, "Velmora v 1.0 Release\r\nZeile 2\r\nZeile 3");
  std::string text;
  LONG stil = 0;
  {
    Fahrer fahrer([&] {
      HWND f = WarteAufFenster("Über...");
      ASSERT_NE(f, nullptr);
      HWND editor = WarteAufGadget(f, 10);
      kxtest::WaitUntil([&] { return !Text(editor).empty(); }, 5000);
      text = Text(editor);
      stil = GetWindowLongA(editor, GWL_STYLE);
      Bildschirmfoto(f, "uber");
      Klick(Gadget(f, 11));
      EXPECT_TRUE(WarteBisZu(f));
    });
    Uber();
  }
  EXPECT_NE(text.find("Velmora v 1.0 Release"), std::string::npos);
  EXPECT_NE(text.find("Zeile 3"), std::string::npos);
  EXPECT_TRUE(stil & ES_READONLY);
  EXPECT_TRUE(stil & ES_CENTER);
}

TEST_F(Dialoge, CodeWindowShowsTheCodeInACopyableFieldAndCloses) {
  OrdnerZahl = 12;
  std::string code, titel;
  bool kopierbar = false;
  {
    Fahrer fahrer([&] {
      HWND f = WarteAufFenster("Code");
      ASSERT_NE(f, nullptr);
      ASSERT_NE(WarteAufGadget(f, 45), nullptr);
      HWND feld = Gadget(f, 44);
      code = Text(feld);
      // Selectable and copyable: an edit field that is not read-only.
      SendMessageA(feld, EM_SETSEL, 0, -1);
      DWORD von = 0, bis = 0;
      SendMessageA(feld, EM_GETSEL, WPARAM(&von), LPARAM(&bis));
      kopierbar = bis - von == 2 && !(GetWindowLongA(feld, GWL_STYLE) & ES_READONLY);
      titel = Text(Gadget(f, 43));
      Bildschirmfoto(f, "codefenster");
      Klick(Gadget(f, 45));
      EXPECT_TRUE(WarteBisZu(f));
    });
    CodeFenster(77);
  }
  EXPECT_EQ(code, "12");
  EXPECT_EQ(S(Adresse), "12");
  EXPECT_EQ(titel, "Der Code lautet:");
  EXPECT_TRUE(kopierbar);
  // Without a main window here, emptying the send list finds no list 1, and
  // the clean-up after it no bars 8 and 5 and no texts 23 and 24.
  EXPECT_EQ(g_fehler, std::vector<std::string>(5, "NoObject"));
  g_fehler.clear();
}
