// The main window's event loop and its actions.
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/pipelines.h"
#include "app/privat.h"
#include "app/programm.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"

namespace velmora {

namespace {
const char* const Achtung = "Achtung";
const char* const Alte_Datei = "Du musst die alte Datei erst Senden, bevor du eine neue Hinzufügst";
const char* const Zugangsdaten_Fehlen =
    "Du musst zuerst die FTP Zugangsdaten über das Menü ´Server´ eingeben";
const char* const Nichts_Markiert = "Du musst eine zu Löchende Datei Markieren";
const char* const Eintrag_Markieren = "< Eintrag markieren und Button drücken";
}  // namespace

void Hinzufuegen(int32_t menue) {
  PROZEDUR(Hinzufuegen, menue);
  Z_ kx::StringScope scope;
  Z_ if (kx::CountGadgetItems(ListIcon_0) > 0) {
    Z_ kx::MessageRequester(Achtung, Alte_Datei, 0);
  } else {
    Z_ Auswahl_Fenster();
    Z_ if (Auswahlfenster == 4) {
      Z_ Rechner_Hauptfenster_Spalte(0);
      // The size lands in column 4 "Größe" from the button, in column 1
      // "Größe komprimiert" from the menu.
      Z_ if (menue) {
        Z_ kx::AddGadgetItem(ListIcon_0, 0, kx::Text() << Spalte_Name << "\n" << Spalte_Datei_Size << "\n\n\n");
      } else {
        Z_ kx::AddGadgetItem(ListIcon_0, 0, kx::Text() << Spalte_Name << "\n\n\n\n" << Spalte_Datei_Size << "\n");
      }
      Z_ Pos_Dateiname = 0;
    }
    // The hints of the tab follow the button, whether or not a path came.
    Z_ if (!menue) {
      Z_ kx::SetGadgetText(Text_25, "");
      Z_ kx::SetGadgetText(Text_26, Eintrag_Markieren);
    }
  }
}

void Senden(int32_t menue) {
  PROZEDUR(Senden, menue);
  Z_ if (Zugang == 0) {
    Z_ kx::MessageRequester(Achtung, Zugangsdaten_Fehlen, 0);
    Z_ return;
  }
  Z_ Dis = 3;
  Z_ kx::DisableGadget(ButtonImage_1, 1);
  Z_ if (!menue) kx::SetGadgetText(Text_26, "");
  Z_ Upload_Starten(menue);
}

void Loeschen_Button() {
  PROZEDUR(Loeschen_Button);
  Z_ Zeilen_ListIcon = kx::GetGadgetState(ListIcon_0);
  Z_ if (Zeilen_ListIcon == -1) {
    Z_ kx::MessageRequester(Achtung, Nichts_Markiert, 0);
    Z_ return;
  }
  Z_ kx::RemoveGadgetItem(ListIcon_0, Position);
  Z_ Upload_Abbrechen();
}

// The menu's delete blanks the row instead of removing it.
void Loeschen_Menue() {
  PROZEDUR(Loeschen_Menue);
  Z_ if (kx::GetGadgetState(ListIcon_0) == -1) {
    Z_ kx::MessageRequester(Achtung, Nichts_Markiert, 0);
    Z_ return;
  }
  Z_ for (Spalte = 0; Spalte <= 7; ++Spalte) {
    Z_ kx::SetGadgetItemText(ListIcon_0, 0, "", Spalte);
  }
}

void Downloaden() {
  PROZEDUR(Downloaden);
  Z_ kx::DisableGadget(Button_0, 1);
  Z_ Privat_Code_Uebernehmen(kx::GetGadgetText(String_16, kx::Here));
  Z_ Download_Starten();
}

void Beenden_Fragen() {
  PROZEDUR(Beenden_Fragen);
  Z_ Beenden = kx::MessageRequester("Wirklich Beenden", "Möchtest du das programm wirklich beenden?",
                                    Frage_JaNein);
  // The end stops the upload with every other thread (Programmende).
  Z_ if (Beenden == Antwort_Ja) Programmende();
}

void Ereignisschleife() {
  PROZEDUR(Ereignisschleife);
  Z_ for (;;) {
    Z_ if (kx::GetGadgetState(ListIcon_0) == -1) {
      Z_ kx::DisableGadget(ButtonImage_1, 1);
    } else if (Dis == 0) {
      Z_ kx::DisableGadget(ButtonImage_1, 0);
    }
    Z_ EventID = kx::WaitWindowEvent();
    Z_ if (Programmende_Angefordert()) Programmende();
    Z_ if (EventID == Ereignis_Gadget) {
      Z_ intptr_t gadget = kx::EventGadget();
      Z_ if (gadget == ButtonImage_0) Hinzufuegen(0);
      Z_ if (gadget == ButtonImage_1) Senden(0);
      Z_ if (gadget == ButtonImage_2) Loeschen_Button();
      Z_ if (gadget == Button_0) Downloaden();
    } else if (EventID == Ereignis_Menue) {
      Z_ intptr_t eintrag = kx::EventMenu();
      Z_ if (eintrag == Menue_Hinzufuegen) Hinzufuegen(1);
      Z_ if (eintrag == Menue_Senden) Senden(1);
      Z_ if (eintrag == Menue_Loeschen) Loeschen_Menue();
      Z_ if (eintrag == Menue_Uber) Uber();
      Z_ if (eintrag == Menue_ServerZugang) ServerZugang();
      Z_ if (eintrag == Menue_Privat) Privat_Umschalten();
    } else if (EventID == Ereignis_Schliessen) {
      Z_ Beenden_Fragen();
    }
  }
}

}  // namespace velmora
