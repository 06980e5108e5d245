// The about window.
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "runtime/gui/events.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/window.h"

namespace velmora {

namespace {
constexpr int32_t NurLesenZentriert = 0x801;  // editor: read-only, centred lines
}  // namespace

void Uber() {
  PROZEDUR(Uber);
  Z_ if (!kx::OpenWindow(Uberfenster, 348, 280, 403, 398, "Über...", Fenster_Fest)) return;
  Z_ kx::EditorGadget(Uber_Editor, 20, 92, 370, 260, NurLesenZentriert);
  Z_ kx::ButtonGadget(Uber_Ok, 140, 362, 120, 25, "Ok", 0);
  Z_ kx::SetGadgetText(Uber_Editor, Version.Text);
  // Time-out 0: the call only looks, so this loop polls.
  Z_ for (;;) {
    Z_ int32_t ereignis = kx::WaitWindowEvent(0);
    Z_ if (ereignis == Ereignis_Schliessen) break;
    Z_ if (ereignis == Ereignis_Gadget && kx::EventGadget() == Uber_Ok) break;
  }
  Z_ kx::CloseWindow(Uberfenster);
}

}  // namespace velmora
