// Stopping threads for a cancelled upload and for the program's end: a stop
// request, then a bounded wait that keeps the main window answering.  No
// thread is ever terminated.
#pragma once

#include <cstdint>

namespace velmora {

// How long the cancel and the end wait for the threads they stop, in ms.
constexpr int32_t Anhalten_Frist = 3000;

// "Löschen": asks the upload's threads (packing, splitting, sending, its
// progress, the resume) to stop and waits for them.  True when all ended.
bool Upload_Threads_Anhalten();

// The program's end: asks every thread to stop and waits for all of them.
// True when all ended; otherwise the objects they may use must stay.
bool Alle_Threads_Anhalten();

}  // namespace velmora
