// The main window's hand-over to the upload and download pipelines.
//
// The pipelines' thread procedures (packing, splitting, upload, download,
// join, unpack, resume, clean-up) are not part of the program yet: until
// they are, the actions end here, after everything the main window does
// itself before a thread starts.
#include "app/pipelines.h"

#include "app/debugger.h"
#include "app/globals.h"
#include "runtime/core/threads.h"

namespace velmora {

void Fortsetzer_Starten() {
  PROZEDUR(Fortsetzer_Starten);
}

void Upload_Starten(int32_t callbackVorDatei) {
  PROZEDUR(Upload_Starten, callbackVorDatei);
}

void Upload_Abbrechen() {
  PROZEDUR(Upload_Abbrechen);
  Z_ if (kx::ThreadRunning(UploadThread)) kx::StopThread(UploadThread);
  Z_ if (kx::ThreadRunning(v_Aktualisierer_Upload)) kx::StopThread(v_Aktualisierer_Upload);
  Z_ Cleaner("l\xF6schen");
}

void Download_Starten() {
  PROZEDUR(Download_Starten);
}

void Cleaner(const char* modus) {
  PROZEDUR(Cleaner, modus);
}

}  // namespace velmora
