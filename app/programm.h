// Start and end of the program.
#pragma once

#include <cstdint>

namespace velmora {

// The whole run: the main heap, the runtime libraries with the debugger (the
// application's symbol tables installed first), the start sequence, the main
// window and its event loop.  Does not come back: the program ends in
// Programmende.
int Programm();

// The start sequence after the runtime start: folders, fixed settings, access
// file, codecs and network, images, the resume thread, then the main window
// (the program ends at once when it can't be opened) and the event loop.
int32_t Programmstart();

// Loads the picture stored as resource `ressource` as image `bild` and
// resizes it to 40 x 40; nonzero on success.
int32_t Bild_Laden(int32_t bild, int32_t ressource);

// Program end: the runtime libraries release their objects (threads, images,
// gadgets, windows, FTP, network, packer, files), the debugger link closes,
// the main heap goes, the process ends.
[[noreturn]] void Programmende();

// The end asked for by a worker thread: the event loop's thread ends the
// program at its next round (it is woken for that).  A worker must not end
// the program itself, because the loop would go on using the windows and
// gadgets that the end releases.
void Programmende_Anfordern();
bool Programmende_Angefordert();

}  // namespace velmora
