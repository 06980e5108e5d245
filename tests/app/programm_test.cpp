// Velmora.exe as a user meets it: started as a process of its own with its
// temporary folders in a fresh folder, driven from outside through its
// windows (menu commands, clicks, keys, message boxes) and ended through the
// close confirmation.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/app/fahrer.h"
#include "tests/app/velmora_prozess.h"
#include "tests/gui/gui_support.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace apptest;

namespace {

const char* const Titel = VelmoraProzess::Titel;

class Velmora : public VelmoraProzess {
 public:
  using VelmoraProzess::VelmoraProzess;

  HWND Gadget(int nummer) { return apptest::Gadget(fenster, nummer); }
  Meldung Meldung_Beantworten(const char* titel, int knopf) { return Beantworte(titel, knopf, id()); }
  // No window of the program with this title comes within the time.
  bool Kein(const char* titel, const char* klasse, int ms) {
    return !kxtest::WaitUntil([&] { return FindeFenster(titel, klasse, id()) != nullptr; }, DWORD(ms));
  }
};

// Confirms the program's end with "Yes" and expects the process gone.
void Beenden(Velmora& programm) {
  Schliessen(programm.fenster);
  Meldung frage = programm.Meldung_Beantworten("Wirklich Beenden", IDYES);
  EXPECT_EQ(frage.text, "Möchtest du das programm wirklich beenden?");
  EXPECT_EQ(programm.Ende(), 0);
  EXPECT_FALSE(IsWindow(programm.fenster));
}

// Chooses `datei` in the selection window opened by the add action.
void Datei_Waehlen(Velmora& programm, const std::string& datei) {
  HWND auswahl = programm.Warte("Auswahlfenster");
  ASSERT_NE(auswahl, nullptr);
  ASSERT_NE(WarteAufGadget(auswahl, 59), nullptr);
  Tippen(apptest::Gadget(auswahl, 52), datei);
  Klick(apptest::Gadget(auswahl, 59));
  ASSERT_TRUE(WarteBisZu(auswahl));
}

// A real mouse click (xdotool) at (x, y) of the control.
void Echter_Klick(HWND steuerelement, int x, int y) {
  RECT r;
  GetWindowRect(steuerelement, &r);
  EXPECT_EQ(kxtest::XdoTool("mousemove " + std::to_string(r.left + x) + " " + std::to_string(r.top + y) + " click 1"),
            0);
}

// Clicks on row 0 of the send list, as a user selects it.
void Erste_Zeile_Markieren(HWND liste) {
  RECT kopf, r;
  GetWindowRect(reinterpret_cast<HWND>(SendMessageA(liste, LVM_GETHEADER, 0, 0)), &kopf);
  GetWindowRect(liste, &r);
  Echter_Klick(liste, 40, kopf.bottom - r.top + 8);
  kxtest::WaitUntil([&] { return SendMessageA(liste, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED) == 0; }, 3000);
}

}  // namespace

TEST(Programm, StartsWithoutAccessFileSilentlyAndAsksForTheAccessDataOnSend) {
  kxtest::TempFolder temp;
  Velmora programm(temp.path());
  ASSERT_NE(programm.fenster, nullptr);
  RECT r;
  GetWindowRect(programm.fenster, &r);
  EXPECT_EQ(r.left, 225);
  EXPECT_EQ(r.top, 55);
  EXPECT_TRUE(programm.Kein(nullptr, "#32770", 500));  // no message at start
  // The folders: persistent "Velmora\" and a private one named by a GUID.
  EXPECT_TRUE(kxtest::IsFolder(temp / "Velmora"));
  WIN32_FIND_DATAA eintrag;
  HANDLE suche = FindFirstFileA((temp / "{*}").c_str(), &eintrag);
  ASSERT_NE(suche, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::string(eintrag.cFileName).size(), 38u);
  FindClose(suche);

  programm.Menue(2);  // "Senden"
  Meldung meldung = programm.Meldung_Beantworten("Achtung", IDOK);
  EXPECT_EQ(meldung.text, "Du musst zuerst die FTP Zugangsdaten über das Menü ´Server´ eingeben");
  Beenden(programm);
}

TEST(Programm, StartWithAnAccessFileNeedsNoFurtherStep) {
  kxtest::TempFolder temp;
  CreateDirectoryA((temp / "Velmora").c_str(), nullptr);
  kxtest::WriteBytes(temp / "Velmora\\Hash.txt", "MTI3LjAuMC4x\r\nbG9jYWxob3N0\r\nc2VuZGVy\r\nZ2VoZWlt\r\n");
  Velmora programm(temp.path());
  ASSERT_NE(programm.fenster, nullptr);
  programm.Menue(2);
  EXPECT_TRUE(programm.Kein("Achtung", "#32770", 1000));
  Beenden(programm);
}

TEST(Programm, CloseAnsweredNoKeepsItRunningYesEndsIt) {
  kxtest::TempFolder temp;
  Velmora programm(temp.path());
  ASSERT_NE(programm.fenster, nullptr);
  Schliessen(programm.fenster);
  Meldung frage = programm.Meldung_Beantworten("Wirklich Beenden", IDNO);
  EXPECT_EQ(frage.titel, "Wirklich Beenden");
  EXPECT_FALSE(kxtest::WaitUntil([&] { return !programm.laeuft(); }, 300)) << "ended after No";
  EXPECT_TRUE(IsWindowVisible(programm.fenster));
  Beenden(programm);
}

TEST(Programm, SendListHoldsOneRowAndTheTwoDeletesDifferInWhatTheyLeave) {
  kxtest::TempFolder temp;
  std::string datei = temp / "bericht.pdf";
  kxtest::WriteBytes(datei, std::string(999999, 'x'));
  Velmora programm(temp.path());
  ASSERT_NE(programm.fenster, nullptr);
  HWND liste = programm.Gadget(1);
  ASSERT_NE(liste, nullptr);
  HWND hinzufuegen = programm.Gadget(2);
  HWND senden = programm.Gadget(3);
  EXPECT_FALSE(IsWindowEnabled(senden));  // nothing selected

  // The add button, clicked: the row with the size in column 4, the hints change.
  Echter_Klick(hinzufuegen, 20, 20);
  Datei_Waehlen(programm, datei);
  // The program adds the row, fills its columns and then sets the hints: wait for the last.
  kxtest::WaitUntil([&] { return Text(programm.Gadget(38)) == "< Eintrag markieren und Button drücken"; }, 3000);
  ASSERT_EQ(programm.Zeilen(liste), 1);
  EXPECT_EQ(programm.Zelle(liste, 0, 0), "bericht.pdf");
  EXPECT_EQ(programm.Zelle(liste, 0, 4), "976 KB");
  EXPECT_EQ(programm.Zelle(liste, 0, 1), "");
  EXPECT_EQ(Text(programm.Gadget(37)), "");
  EXPECT_EQ(Text(programm.Gadget(38)), "< Eintrag markieren und Button drücken");

  // A second add: the "alte Datei" message and no selection window.
  Klick(hinzufuegen);
  Meldung alt = programm.Meldung_Beantworten("Achtung", IDOK);
  EXPECT_EQ(alt.text, "Du musst die alte Datei erst Senden, bevor du eine neue Hinzufügst");
  EXPECT_TRUE(programm.Kein("Auswahlfenster", nullptr, 300));

  // A selected row enables the send button; a click on the list's empty
  // area takes the selection away and the button with it.
  Erste_Zeile_Markieren(liste);
  kxtest::WaitUntil([&] { return IsWindowEnabled(senden); }, 3000);
  EXPECT_TRUE(IsWindowEnabled(senden));
  Bildschirmfoto(programm.fenster, "programm_sendeliste");
  Echter_Klick(liste, 300, 250);
  kxtest::WaitUntil([&] { return !IsWindowEnabled(senden); }, 3000);
  EXPECT_FALSE(IsWindowEnabled(senden));
  Erste_Zeile_Markieren(liste);

  // Menu "Löschen": the row stays, blank, so adding is still refused.
  programm.Menue(3);
  kxtest::WaitUntil([&] { return programm.Zelle(liste, 0, 0).empty() && programm.Zelle(liste, 0, 4).empty(); }, 3000);
  EXPECT_EQ(programm.Zeilen(liste), 1);
  for (int spalte = 0; spalte < 6; ++spalte) EXPECT_EQ(programm.Zelle(liste, 0, spalte), "") << spalte;
  programm.Menue(1);
  EXPECT_EQ(programm.Meldung_Beantworten("Achtung", IDOK).text,
            "Du musst die alte Datei erst Senden, bevor du eine neue Hinzufügst");

  // The delete button removes the row (still selected).
  EXPECT_EQ(SendMessageA(liste, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 0);
  Klick(programm.Gadget(4));
  kxtest::WaitUntil([&] { return programm.Zeilen(liste) == 0; }, 3000);
  EXPECT_EQ(programm.Zeilen(liste), 0);

  // Nothing selected: the delete button says so.
  Klick(programm.Gadget(4));
  EXPECT_EQ(programm.Meldung_Beantworten("Achtung", IDOK).text, "Du musst eine zu Löchende Datei Markieren");

  // The menu's add puts the size in column 1.
  programm.Menue(1);
  Datei_Waehlen(programm, datei);
  kxtest::WaitUntil([&] { return programm.Zeilen(liste) != 0 && !programm.Zelle(liste, 0, 1).empty(); }, 3000);
  EXPECT_EQ(programm.Zelle(liste, 0, 1), "976 KB");
  EXPECT_EQ(programm.Zelle(liste, 0, 4), "");
  Beenden(programm);
}

// The probe's view from outside: tabs, columns, hints, bars, the empty row of
// the receive list; and its screenshot of the window as started.
TEST(Programm, MainWindowAsTheProbeSeesIt) {
  kxtest::TempFolder temp;
  Velmora programm(temp.path());
  ASSERT_NE(programm.fenster, nullptr);
  kxtest::ProbeResult sicht = kxtest::Probe({"controls", Titel});
  ASSERT_EQ(sicht.exitCode, 0) << sicht.output;
  const char* zeilen[] = {
      "tabs id 13 count 2 selected 0",
      "tab id 13 index 0 title \"Senden\" selected 1",
      "tab id 13 index 1 title \"Empfangen\" selected 0",
      "column id 1 index 0 width 180 title \"Name\"",
      "column id 1 index 1 width 110 title \"Größe komprimiert\"",
      "column id 1 index 2 width 80 title \"Gesendet:\"",
      "column id 1 index 3 width 93 title \"Geschwindigkeit\"",
      "column id 1 index 4 width 70 title \"Größe\"",
      "column id 1 index 5 width 70 title \"Dauer\"",
      "rows id 1 count 0",
      "column id 14 index 0 width 300 title \"Dateiname\"",
      "column id 14 index 3 width 100 title \"Größe\"",
      "rows id 14 count 1",
      "control id 37 class \"Static\" text \"< Bitte Datei auswählen\" x 55 y 55 width 115 height 20",
      "control id 38 class \"Static\" text \"\" x 345 y 55 width 200 height 30",
      "control id 17 class \"Button\" text \"Downloaden\" x 445 y 53 width 100 height 30",
      "progress id 5 position 0 minimum 0 maximum 100",
      "progress id 21 position 0 minimum 0 maximum 100",
  };
  for (const char* zeile : zeilen) EXPECT_TRUE(sicht.has(zeile)) << zeile << "\n" << sicht.output;
  kxtest::ProbeResult foto = kxtest::Probe({"screenshot", Titel, kxtest::ScreenshotDir() + "\\programm_start.bmp"});
  EXPECT_EQ(foto.exitCode, 0) << foto.output;
  Beenden(programm);
}
