// The code window: shows the transfer code of the upload just finished in a
// field from which it can be copied; runs in a thread of its own.
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/pipelines.h"
#include "app/privat.h"
#include "runtime/core/kxstring.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/window.h"

namespace velmora {

int32_t CodeFenster(int32_t wert) {
  PROZEDUR(CodeFenster, wert);
  Z_ kx::ThreadStringStart();
  Z_ kx::Assign(Adresse, Angezeigter_Code(kx::Here));
  Z_ if (kx::OpenWindow(CodeWindow, 216, 0, 483, 98, "Code", Fenster_Fest)) {
    Z_ kx::TextGadget(Code_Text_1, 10, 15, 90, 20, "Der Code lautet:", 0);
    Z_ kx::StringGadget(Code_String_1, 100, 10, 330, 30, "", 0);
    Z_ kx::SetGadgetText(Code_String_1, Adresse);
    Z_ kx::ButtonGadget(Code_Beenden_Button, 130, 60, 220, 30, "Beenden", 0);
    Z_ int32_t ereignis = 0;
    Z_ do {
      Z_ ereignis = kx::WaitWindowEvent(1);
      // The program's end closes the window with the thread that owns it.
      Z_ if (Angehalten() || (ereignis == Ereignis_Gadget && kx::EventGadget() == Code_Beenden_Button)) {
        Z_ kx::CloseWindow(CodeWindow);
        Z_ break;
      }
    } while (ereignis != Ereignis_Schliessen);
  }
  Z_ if (Angehalten()) return 0;
  Z_ kx::ClearGadgetItems(ListIcon_0);
  Z_ Cleaner("Upload fertig");
  Z_ return 0;
}

}  // namespace velmora
