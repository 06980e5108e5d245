// Splitting an upload: the archive's size goes into the send list, then the
// archive is cut into its parts (app/teile.cpp does the cutting).
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/privat.h"
#include "app/upload.h"
#include "runtime/core/kxstring.h"
#include "runtime/gui/gadget.h"

namespace velmora {

int32_t DateiVorbereiten(int32_t wert) {
  PROZEDUR(DateiVorbereiten, wert);
  Z_ kx::ThreadStringStart();
  // Upload_Pack_Pfad is set now: the column shows the archive's size.
  Z_ Rechner_Hauptfenster_Spalte(0);
  Z_ kx::SetGadgetItemText(ListIcon_0, 0, Spalte_Datei_Size, 1);
  // Sets Splitt_Dateien_Anzahl, counts Aktuelle_Splitt_Datei and sets
  // Vorbereiten = 100 only when every part was written; otherwise the
  // waiting upload is told to end.  A private upload splits the sealed
  // archive (sealing writes a file as large as the archive).
  Z_ if ((Privat_Versiegeln() && Archiv_Aufteilen()) || Angehalten()) return 0;
  Z_ return Vorbereitung_Misslungen("Die Teile konnten nicht geschrieben werden.", Ordner.TempSplitOrdnerPfad);
}

}  // namespace velmora
