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

// The threads of an upload: packing, splitting, sending, its progress, and
// the resume thread that may be starting one.
std::atomic<int32_t>* const Upload_Nummern[] = {
    &Downloadfortsetzer_Thread, &PackerDateiThread, &PackerOrdnerThread,
    &VorbereitenThread,         &UploadThread,      &v_Aktualisierer_Upload,
};

// Whether a thread of the upload still runs.  One started since the last
// round (a pipeline hands on to the next thread) is asked to stop too.
bool Upload_Laeuft() {
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

// Whether any thread but this one still runs (the program's end: the stop
// request of every thread covers those started meanwhile).
bool Einer_Laeuft() { return kx::OtherThreadsRunning() > 0; }

// The one bounded wait of the cancel and of the end.  Messages sent to this
// thread's windows (a worker setting a gadget's text waits for the answer)
// are answered; posted input stays queued for the event loop.
bool Abwarten(bool (*laeuft)()) {
  const DWORD anfang = GetTickCount();
  for (;;) {
    if (!laeuft()) return true;
    if (GetTickCount() - anfang >= DWORD(Anhalten_Frist)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
    MSG nachricht;
    PeekMessageA(&nachricht, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace

bool Upload_Threads_Anhalten() {
  PROZEDUR(Upload_Threads_Anhalten);
  Z_ return Abwarten(Upload_Laeuft);
}

bool Alle_Threads_Anhalten() {
  PROZEDUR(Alle_Threads_Anhalten);
  Z_ kx::RequestThreadStop(0);
  Z_ return Abwarten(Einer_Laeuft);
}

}  // namespace velmora
