#include "runtime/runtime.h"

#include "runtime/core/memory.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/checks.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"
#include "runtime/files/pack.h"
#include "runtime/gui/gadget.h"
#include "runtime/gui/image.h"
#include "runtime/gui/menu.h"
#include "runtime/gui/requester.h"
#include "runtime/gui/window.h"
#include "runtime/network/ftp.h"
#include "runtime/network/network.h"

namespace kx {

namespace {
bool g_started = false;
bool g_ended = false;
}  // namespace

// Each library starts once, in this order: string runtime, memory heap,
// object-registry heap, loaded-library table, File library, packer, FTP,
// Window, Gadget, image codecs and Image, Menu, common controls and COM,
// Thread library, and last the debugger, which connects to its front-end.
void RuntimeStart() {
  if (g_started) return;
  g_started = true;
  StringRuntimeStart();
  MemoryRuntimeStart();
  ObjectHeap();
  FileLibraryStart();
  PackerStart();
  StartFtp();
  WindowLibraryStart();
  GadgetLibraryStart();
  ImageLibraryStart();
  UsePNGImageDecoder();
  UsePNGImageEncoder();
  MenuLibraryStart();
  RequesterLibraryStart();
  StartThreadLibrary();
  DebuggerStart(__builtin_frame_address(0));
}

// Libraries release their objects in the reverse order of their start; the
// debugger closes last.
void RuntimeEnd() {
  if (!g_started || g_ended) return;
  g_ended = true;
  EndThreadLibrary();
  MenuLibraryEnd();
  ImageLibraryEnd();
  GadgetLibraryEnd();
  WindowLibraryEnd();
  EndFtp();
  EndNetwork();
  PackerEnd();
  DirectoryLibraryEnd();
  FileLibraryEnd();
  DebuggerEnd();
}

}  // namespace kx
