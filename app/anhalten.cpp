// Stopping the program's threads without terminating any: a cancelled upload
// and the program's end ask them to stop (the thread library's stop request,
// which the pauses, the packer, the splitter and the FTP and HTTP loops
// check) and wait for them, bounded, while the main window's thread goes on
// answering the messages the workers send to its gadgets.  A thread that is
// not done within the bound is left alone: killing it could leave a library
// lock taken or an object half-changed.
#include "app/anhalten.h"

#include <windows.h>

#include <atomic>

#include "app/debugger.h"
#include "app/globals.h"
#include "runtime/core/threads.h"

namespace velmora {

namespace {

// Every thread number the application keeps.
std::atomic<int32_t>* const Alle_Nummern[] = {
    &Downloadfortsetzer_Thread, &PackerDateiThread,       &PackerOrdnerThread,   &v_Aktualisierer_Upload,
    &UploadThread,              &VorbereitenThread,       &v_Aktualisierer_Download, &Download_Thread,
    &Zusammenfuegen_Thread,     &Unpack_Datei_Thread,     &DownloadGeschwindigkeit_Thread,
};

// The threads of an upload: packing, splitting, sending, its progress, and
// the resume thread that may be starting one.
std::atomic<int32_t>* const Upload_Nummern[] = {
    &Downloadfortsetzer_Thread, &PackerDateiThread, &PackerOrdnerThread,
    &VorbereitenThread,         &UploadThread,      &v_Aktualisierer_Upload,
};

// Threads started last are not all kept in a number (the code window's, the
// size column's at a resume); numbers run from 1 and are never reused, so
// the program's end looks this far beyond the highest one kept.
constexpr int32_t Ungezaehlte = 16;

// Whether one of the threads still runs.  A listed thread started since the
// last round (a pipeline hands on to the next thread) is asked to stop too.
bool Einer_Laeuft(bool alle) {
  if (alle) {
    int32_t hoechste = 0;
    for (std::atomic<int32_t>* nummer : Alle_Nummern) hoechste = nummer->load() > hoechste ? nummer->load() : hoechste;
    for (int32_t n = 1; n <= hoechste + Ungezaehlte; ++n) {
      if (kx::ThreadRunning(n)) return true;
    }
    return false;
  }
  bool laeuft = false;
  for (std::atomic<int32_t>* nummer : Upload_Nummern) {
    const int32_t n = nummer->load();
    if (n > 0 && kx::ThreadRunning(n)) {
      kx::RequestThreadStop(n);
      laeuft = true;
    }
  }
  return laeuft;
}

// The one bounded wait of the cancel and of the end.  Messages sent to this
// thread's windows (a worker setting a gadget's text waits for the answer)
// are answered; posted input stays queued for the event loop.
bool Abwarten(bool alle) {
  const DWORD anfang = GetTickCount();
  for (;;) {
    if (!Einer_Laeuft(alle)) return true;
    if (GetTickCount() - anfang >= DWORD(Anhalten_Frist)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
    MSG nachricht;
    PeekMessageA(&nachricht, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace

bool Upload_Threads_Anhalten() {
  PROZEDUR(Upload_Threads_Anhalten);
  Z_ return Abwarten(false);
}

bool Alle_Threads_Anhalten() {
  PROZEDUR(Alle_Threads_Anhalten);
  Z_ kx::RequestThreadStop(0);
  Z_ return Abwarten(true);
}

}  // namespace velmora
