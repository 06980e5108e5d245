// Start and end of Velmora: the main heap and the runtime around the start
// sequence, the button images from the program's resources, the end.
#include "app/programm.h"

#include <windows.h>

#include <atomic>

#include "app/anhalten.h"
#include "app/debugger.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/pipelines.h"
#include "app/ressourcen.h"
#include "app/symbole.h"
#include "runtime/core/kxstring.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/end_code.h"
#include "runtime/debugger/hooks.h"
#include "runtime/gui/image.h"
#include "runtime/gui/window.h"
#include "runtime/network/network.h"
#include "runtime/runtime.h"

namespace velmora {

namespace {

HANDLE Hauptheap = nullptr;

// The end code the runtime runs before the process ends: libraries, then the
// heap.
void Endcode() {
  kx::RuntimeEnd();
  if (Hauptheap) HeapDestroy(Hauptheap);
  Hauptheap = nullptr;
}

// The end while a thread of the program did not stop in time: its objects
// (files, the FTP connection, gadgets) and the heaps stay as they are, so
// that it never runs into a released one before the process is gone; only
// the debugger link is closed.
void Endcode_Ohne_Freigabe() { kx::DebuggerEnd(); }

}  // namespace

// One picture stored in the program as image `bild`, at 40 x 40.
int32_t Bild_Laden(int32_t bild, int32_t ressource) {
  PROZEDUR(Bild_Laden, bild, ressource);
  Z_ HRSRC gefunden = FindResourceA(nullptr, MAKEINTRESOURCEA(ressource), MAKEINTRESOURCEA(10));  // RT_RCDATA
  Z_ HGLOBAL geladen = gefunden ? LoadResource(nullptr, gefunden) : nullptr;
  Z_ if (!geladen) return 0;
  Z_ kx::CatchImage(bild, LockResource(geladen), int32_t(SizeofResource(nullptr, gefunden)));
  Z_ return kx::ResizeImage(bild, 40, 40, 0) != 0;
}

int32_t Programmstart() {
  PROZEDUR(Programmstart);
  // Folders, fixed settings and texts (steps 2 to 7).
  Z_ Startwerte();
  Z_ kx::UsePNGImageDecoder();
  Z_ kx::UsePNGImageEncoder();
  Z_ kx::InitNetwork();
  Z_ Vorbereiten = 0;
  Z_ Zugangsdatei_Lesen();  // a missing file leaves Zugang at 0, without a message
  Z_ Bild_Laden(Bild_Ordner, VELMORA_BILD_ORDNER);
  Z_ Bild_Laden(Bild_Netzlaufwerk, VELMORA_BILD_NETZLAUFWERK);
  Z_ Bild_Laden(Bild_Papierkorb, VELMORA_BILD_PAPIERKORB);
  Z_ Fortsetzer_Starten();
  Z_ if (!Hauptfenster_Oeffnen()) Programmende();
  Z_ Ereignisschleife();
  Z_ return 0;
}

namespace {
std::atomic<bool> g_endeAngefordert{false};
}

void Programmende_Anfordern() {
  PROZEDUR(Programmende_Anfordern);
  Z_ g_endeAngefordert = true;
  Z_ PostMessageA(reinterpret_cast<HWND>(kx::WindowID(Hauptfenster)), WM_NULL, 0, 0);
}

bool Programmende_Angefordert() { return g_endeAngefordert; }

void Programmende() {
  PROZEDUR(Programmende);
  // The threads first: asked to stop and waited for, while the window goes
  // on answering them.  Then the upload's connection, then the libraries.
  Z_ if (Alle_Threads_Anhalten()) {
    Z_ Ftp_Schliessen();
  } else {
    Z_ kx::SetEndCode(Endcode_Ohne_Freigabe);
  }
  Z_ kx::DebuggerLine(-1);
  Z_ kx::ExitProgram(0);
}

int Programm() {
  Hauptheap = HeapCreate(0, 4096, 0);
  kx::SetDebugSymbols(Symboltabellen());
  kx::RuntimeStart();
  // After the start, which installs the libraries' release as the end code.
  kx::SetEndCode(Endcode);
  Programmstart();
  Programmende();
}

}  // namespace velmora
