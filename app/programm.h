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

}  // namespace velmora
