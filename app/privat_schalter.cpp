// The switch "Privat senden" in the menu "Extras": off by default (receivers
// with an older program know only numeric codes), kept across runs in the
// persistent folder as the one line "Privat=1" or "Privat=0".
#include "app/debugger.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/privat.h"
#include "runtime/core/kxstring.h"
#include "runtime/files/file.h"
#include "runtime/gui/menu.h"

namespace velmora {

namespace {
constexpr int32_t Einstellungen = 61;  // file number of the settings file
constexpr int32_t Bytes = 0;
}  // namespace

void Einstellungen_Lesen() {
  PROZEDUR(Einstellungen_Lesen);
  Z_ kx::ThreadStringStart();
  Z_ kx::StringScope scope;
  Z_ Privat_Senden = 0;
  Z_ if (!kx::OpenFileForReading(Einstellungen, kx::Text() << Templog << Einstellungsdatei)) return;
  Z_ if (kx::Equal(kx::ReadFileLine(Einstellungen, Bytes, kx::Here), "Privat=1")) Privat_Senden = 1;
  Z_ kx::CloseFile(Einstellungen);
}

void Privat_Umschalten() {
  PROZEDUR(Privat_Umschalten);
  Z_ kx::StringScope scope;
  Z_ Privat_Senden = Privat_Senden ? 0 : 1;
  Z_ kx::SetMenuItemState(0, int32_t(Menue_Privat), Privat_Senden);
  Z_ if (kx::NewFile(Einstellungen, kx::Text() << Templog << Einstellungsdatei)) {
    Z_ kx::WriteFileLine(Einstellungen, Privat_Senden ? "Privat=1" : "Privat=0", Bytes);
    Z_ kx::CloseFile(Einstellungen);
  }
}

}  // namespace velmora
