// The selection window: the sender names one file or one folder.
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/files/directory.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"
#include "runtime/gui/window.h"

namespace velmora {

void Auswahl_Felder_Schalten(int32_t datei) {
  PROZEDUR(Auswahl_Felder_Schalten, datei);
  Z_ kx::DisableGadget(String_Datei, !datei);
  Z_ kx::DisableGadget(Button_Datei, !datei);
  Z_ kx::DisableGadget(String_Ordner, datei);
  Z_ kx::DisableGadget(Button_Ordner, datei);
}

void Auswahl_Fenster() {
  PROZEDUR(Auswahl_Fenster);
  Z_ kx::StringScope scope;
  Z_ if (!kx::OpenWindow(Auswahlfenster_Nummer, 216, 0, 451, 194, Namen.Titel_Auswahlfenster,
                         Fenster_OhneSchliessen)) {
    Z_ return;
  }
  Z_ kx::OptionGadget(Option_Datei, 70, 70, 20, 20, "");
  Z_ kx::OptionGadget(Option_Ordner, 70, 130, 20, 20, "");
  Z_ kx::StringGadget(String_Datei, 100, 70, 210, 25, "", 0);
  Z_ kx::StringGadget(String_Ordner, 100, 130, 210, 25, "", 0);
  Z_ kx::ButtonGadget(Button_Datei, 330, 70, 100, 30, "Auswählen", 0);
  Z_ kx::ButtonGadget(Button_Ordner, 330, 130, 100, 30, "Auswählen", 0);
  Z_ kx::TextGadget(Text_Hinweis, 10, 20, 400, 20, Namen.Text_Auswahlfenster, 0);
  Z_ kx::TextGadget(Text_Datei, 20, 70, 40, 20, "Datei:", 0);
  Z_ kx::TextGadget(Text_Ordner, 16, 130, 40, 20, "Ordner:", 0);
  Z_ kx::ButtonGadget(Button_Eintragen, 170, 160, 120, 33, "Eintragen", 0);
  Z_ kx::SetGadgetState(Option_Datei, 1);
  Z_ Auswahl_Felder_Schalten(1);

  Z_ int32_t ereignis = 0;
  Z_ do {
    Z_ ereignis = kx::WaitWindowEvent();
    Z_ if (ereignis != Ereignis_Gadget) continue;
    Z_ intptr_t gadget = kx::EventGadget();
    Z_ if (gadget == Option_Datei) Auswahl_Felder_Schalten(1);
    Z_ if (gadget == Option_Ordner) Auswahl_Felder_Schalten(0);
    Z_ if (gadget == Button_Datei) {
      Z_ kx::Assign(Upload_Datei_Pfad, kx::OpenFileRequester("Datei Auswählen", "Desktop", "*.*", 0, 0, kx::Here));
      Z_ kx::SetGadgetText(String_Datei, Upload_Datei_Pfad);
    }
    Z_ if (gadget == Button_Ordner) {
      Z_ kx::Text desktop;
      Z_ desktop << kx::GetHomeDirectory(kx::Here) << "Desktop\\";
      Z_ kx::Assign(Upload_Ordner_Pfad, kx::PathRequester("Ordner Auswählen", desktop, kx::Here));
      Z_ kx::SetGadgetText(String_Ordner, Upload_Ordner_Pfad);
    }
    Z_ if (gadget == Button_Eintragen) {
      Z_ if (kx::GetGadgetState(Option_Datei)) {
        Z_ kx::Assign(Upload_Datei_Pfad, kx::GetGadgetText(String_Datei, kx::Here));
        Z_ if (kx::FileSize(Upload_Datei_Pfad) == -1) {
          Z_ kx::MessageRequester("Achtung", Fehler.Auswahlfenster_UngueltigerPfad, 0);
        } else {
          Z_ Auswahlfenster = 4;
          Z_ Auswahl_Zuletzt = Auswahl_Datei;
          Z_ break;
        }
      } else if (kx::GetGadgetState(Option_Ordner)) {
        Z_ kx::Assign(Upload_Ordner_Pfad, kx::GetGadgetText(String_Ordner, kx::Here));
        Z_ if (!kx::ExamineDirectory(1, Upload_Ordner_Pfad, "*.*")) {
          Z_ kx::MessageRequester("Achtung", Fehler.Auswahlfenster_UngueltigerPfad, 0);
        } else {
          Z_ kx::FinishDirectory(1);
          Z_ Auswahlfenster = 4;
          Z_ Auswahl_Zuletzt = Auswahl_Ordner;
          Z_ break;
        }
      }
    }
  } while (ereignis != Ereignis_Schliessen);
  Z_ kx::CloseWindow(Auswahlfenster_Nummer);
}

}  // namespace velmora
