// The server-access window: the four access values, stored Base64-encoded in
// the access file.  The fields always open empty; stored values are never shown.
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "runtime/core/kxstring.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/requester.h"
#include "runtime/gui/window.h"

namespace velmora {

namespace {
constexpr int32_t Verdeckt = 0x20;  // string gadget that hides what is typed
}  // namespace

void ServerZugang() {
  PROZEDUR(ServerZugang);
  Z_ kx::StringScope scope;
  Z_ if (!kx::OpenWindow(Zugangsfenster, 295, 109, 256, 290, "Server-Zugang", Fenster_Fest)) return;
  Z_ kx::TextGadget(Text_20, 10, 10, 170, 20, "Bitte gebe hier die Serverdaten ein:", 0);
  Z_ kx::StringGadget(String_21, 90, 40, 150, 25, "", Verdeckt);
  Z_ kx::StringGadget(String_22, 90, 90, 150, 25, "", Verdeckt);
  Z_ kx::StringGadget(String_23, 90, 140, 150, 25, "", Verdeckt);
  Z_ kx::TextGadget(Text_21, 10, 43, 80, 20, "Server bzw. IP:", 0);
  Z_ kx::TextGadget(Text_22, 10, 93, 70, 20, "Server-Domain:", 0);
  Z_ kx::TextGadget(Text_23, 20, 142, 50, 20, "Username:", 0);
  Z_ kx::StringGadget(String_24, 90, 190, 150, 25, "", Verdeckt);
  Z_ kx::TextGadget(Text_24, 20, 193, 50, 20, "Passwort:", 0);
  Z_ kx::ButtonGadget(Button_10, 10, 250, 230, 30, "OK", 0);

  Z_ int32_t ereignis = 0;
  Z_ do {
    Z_ ereignis = kx::WaitWindowEvent(1);
    Z_ if (ereignis == Ereignis_Gadget && kx::EventGadget() == Button_10) {
      Z_ char* werte[4] = {};
      Z_ const intptr_t felder[4] = {String_21, String_22, String_23, String_24};
      Z_ for (int i = 0; i < 4; ++i) kx::Assign(werte[i], kx::GetGadgetText(felder[i], kx::Here));
      Z_ char** verbindung[4] = {&Connect.ip, &Connect.Domain, &Connect.user, &Connect.pw};
      Z_ char* texte[4] = {};
      Z_ Zugangsdatei_Schreiben(werte[0], werte[1], werte[2], werte[3], texte);
      // The file keeps the Base64 lines; Connect gets the plain values, so
      // an upload in this run logs in with what was entered.
      Z_ for (int i = 0; i < 4; ++i) {
        Z_ kx::Assign(*verbindung[i], werte[i]);
        Z_ kx::FreeString(texte[i]);
        Z_ kx::FreeString(werte[i]);
      }
      Z_ kx::MessageRequester("Achtung", "Bitte starten sie das Program neu", 0);
      Z_ Zugang = 1;
      Z_ break;
    }
  } while (ereignis != Ereignis_Schliessen);
  Z_ kx::CloseWindow(Zugangsfenster);
}

}  // namespace velmora
