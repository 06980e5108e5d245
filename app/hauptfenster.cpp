// The main window: tab "Senden" with the send list, the three image buttons
// and the preparation and upload bars; the menu; tab "Empfangen" with the
// receive list, the code field and the download and finishing bars.
#include <windows.h>

#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/image.h"
#include "runtime/gui/menu.h"
#include "runtime/gui/window.h"

namespace velmora {

namespace {
constexpr int32_t Hinweisfarbe = RGB(200, 1, 1);
constexpr int32_t GanzeZeile = 0x40000000;  // report list: the whole row is selected
constexpr int32_t Umschalter = 0x1003;      // button that stays pressed
}  // namespace

int32_t Hauptfenster_Oeffnen() {
  PROZEDUR(Hauptfenster_Oeffnen);
  Z_ if (!kx::OpenWindow(Hauptfenster, 225, 55, 631, 537, Version.Titel, Fenster_Haupt)) return 0;

  Z_ kx::PanelGadget(Panel_Gadget_1, 1, 1, 631, 617);
  Z_ kx::AddGadgetItem(Panel_Gadget_1, -1, "Senden");
  Z_ kx::ListIconGadget(ListIcon_0, 10, 110, 607, 320, "Name", 180, GanzeZeile);
  Z_ kx::AddGadgetColumn(ListIcon_0, 1, "Größe komprimiert", 110);
  Z_ kx::AddGadgetColumn(ListIcon_0, 2, "Gesendet:", 80);
  Z_ kx::AddGadgetColumn(ListIcon_0, 3, "Geschwindigkeit", 93);
  Z_ kx::AddGadgetColumn(ListIcon_0, 4, "Größe", 70);
  Z_ kx::AddGadgetColumn(ListIcon_0, 5, "Dauer", 70);
  Z_ kx::ButtonImageGadget(ButtonImage_0, 10, 40, 40, 40, kx::ImageID(Bild_Ordner), 0);
  Z_ kx::ButtonImageGadget(ButtonImage_1, 300, 40, 40, 40, kx::ImageID(Bild_Netzlaufwerk), 0);
  Z_ kx::ButtonImageGadget(ButtonImage_2, 575, 40, 40, 40, kx::ImageID(Bild_Papierkorb), 0);
  Z_ kx::ProgressBarGadget(ProgressBar_Upload, 387, 450, 230, 25, 0, 100, 0);
  Z_ kx::TextGadget(Text_2, 10, 453, 60, 20, "Vorbereiten:", 0);
  Z_ kx::TextGadget(Text_3, 340, 453, 40, 20, "Senden:", 0);
  Z_ kx::ProgressBarGadget(ProgressBar_Vorbereiten, 77, 450, 230, 25, 0, 100, 0);
  Z_ kx::TextGadget(Text_11, 180, 477, 50, 20, "0%", 0);
  Z_ kx::TextGadget(Text_12, 495, 477, 50, 15, "0%", 0);
  Z_ kx::TextGadget(Text_25, 55, 55, 115, 20, "< Bitte Datei auswählen", 0);
  Z_ kx::SetGadgetColor(Text_25, 1, Hinweisfarbe);
  Z_ kx::TextGadget(Text_26, 345, 55, 200, 30, "< Eintrag markieren und Button drücken", 0);
  Z_ kx::SetGadgetColor(Text_26, 1, Hinweisfarbe);
  Z_ kx::SetGadgetText(Text_26, "");

  Z_ if (kx::CreateMenuBar(0, kx::WindowID(Hauptfenster))) {
    Z_ kx::AddMenuTitle("Datei");
    Z_ kx::AddMenuItem(Menue_Hinzufuegen, "Hinzufügen");
    Z_ kx::AddMenuItem(Menue_Senden, "Senden");
    Z_ kx::AddMenuItem(Menue_Loeschen, "Löschen");
    Z_ kx::AddMenuTitle("Extras");
    Z_ kx::AddMenuItem(Menue_Uber, "Über...");
    Z_ kx::AddMenuItem(Menue_Privat, "Privat senden");
    Z_ kx::SetMenuItemState(0, Menue_Privat, Privat_Senden);
    Z_ kx::AddMenuTitle("Server");
    Z_ kx::AddMenuItem(Menue_ServerZugang, "Server-Zugang");
  }

  Z_ kx::AddGadgetItem(Panel_Gadget_1, -1, "Empfangen");
  Z_ kx::ListIconGadget(ListIcon_1, 10, 140, 607, 290, "Dateiname", 300, 0);
  Z_ kx::AddGadgetColumn(ListIcon_1, 1, "Gesendet:", 100);
  Z_ kx::AddGadgetColumn(ListIcon_1, 2, "Geschwindigkeit", 100);
  Z_ kx::AddGadgetColumn(ListIcon_1, 3, "Größe", 100);
  Z_ kx::AddGadgetItem(ListIcon_1, -1, "");
  Z_ kx::StringGadget(String_16, 205, 53, 230, 30, "", 0);
  Z_ kx::TextGadget(Text_8, 55, 60, 140, 15, "Bitte hier den Code eingeben:", 0);
  Z_ kx::ButtonGadget(Button_0, 445, 53, 100, 30, "Downloaden", Umschalter);
  Z_ kx::TextGadget(Text_9, 17, 453, 50, 20, "Download:", 0);
  Z_ kx::ProgressBarGadget(ProgressBar_4, 77, 450, 230, 25, 0, 100, 0);
  Z_ kx::TextGadget(Text_10, 320, 453, 60, 20, "Fertigstellen:", 0);
  Z_ kx::ProgressBarGadget(ProgressBar_5, 387, 450, 230, 25, 0, 100, 0);
  Z_ kx::TextGadget(Text_30, 180, 477, 50, 20, "0%", 0);
  Z_ kx::TextGadget(Text_31, 495, 477, 50, 15, "0%", 0);
  Z_ kx::CloseGadgetList();
  Z_ return 1;
}

}  // namespace velmora
