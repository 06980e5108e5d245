// Start and end of the runtime libraries, in their fixed order.
#pragma once

namespace kx {

// Program start: heaps, then each library once (strings, memory, objects,
// files, packer, network, windows, gadgets, images, menus, threads, debugger).
void RuntimeStart();

// Program end: every library releases its objects, the debugger closes.
void RuntimeEnd();

}  // namespace kx
