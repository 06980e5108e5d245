// The built-in message groups of the runtime's libraries (the English texts
// of "Libraries.catalog"): each library's catalog identity.  The core owns
// them, so a library names its group without the debugger, and the core's
// report fallback finds the texts before the debugger has started.
#include <windows.h>

#include "runtime/core/debugger_seam.h"

namespace kx {

namespace {

const LibraryMessage CommonMessages[] = {
    {"InitNeeded", "%s must be called successfuly before using any %s commands."},
    {"ScreenNeeded", "OpenScreen() or OpenWindowedScreen() must be called before using any %s commands."},
    {"CallOnce", "%s can be called only once."},
    {"CallNeeded", "%s must be successfully called before calling %s."},
    {"CallNeededAny", "%s must be successfully called before using this co,mmand."},
    {"CallNeededLib", "%s must be called before another %s function."},
    {"NoDrawingCall", "%s can't be called inside a StartDrawing()/StopDrawing() block."},
    {"HighNumber", "%s object number is very high (over %i), are You sure of that ?"},
    {"NoObject", "The specified %s is not initialized."},
    {"NullAddress", "Procedure address is null."},
    {"NullBuffer", "The specified buffer is 0."},
    {"NullPointer", "The specified pointer is null."},
    {"NullArgument", "The specified '%s' is null."},
    {"InvalidArgument", "The specified '%s' is not valid."},
    {"NullLength", "The specified length is 0."},
    {"NegativeLength", "The specified length is negative."},
    {"InvalidLength", "The specified length is not valid."},
    {"Negative", "The specified '%s' is negative."},
    {"NullNegative", "The specified '%s' is 0 or negative."},
    {"FileNotFound", "The specified file does not exist."},
    {"InvalidPort", "'Port' is not a valid port number."},
    {"OutOfRange", "'%s' is out of range."},
    {"NoLabel", "The specified '%s' is not a Label pointer."},
    {"NoProcedure", "The specified '%s' is not a Procedure pointer."},
    {"WrongType", "The Procedure specified in '%s' does not have the required argument or returntype."},
    {"", ""},
};

const LibraryMessage ThreadMessages[] = {
    {"InvalidThread", "The specified Thread does not exists."},
    {"InvalidMutex", "The specified Mutex does not exist."},
    {"InvalidSemaphore", "The specified Semaphore does not exist."},
    {"", ""},
};

const LibraryMessage MenuMessages[] = {
    {"NoCurrent", "There is no current Menu."},
    {"", ""},
};

const LibraryMessage ImageMessages[] = {
    {"HeightLarge", "Image 'Height' is > 32000 pixels."},
    {"WidthLarge", "Image 'Width' is > 32000 pixels."},
    {"", ""},
};

const LibraryMessage GadgetMessages[] = {
    {"NeedOpenGadgetList", "OpenGadgetList() must be called before calling AddGadgetItem() again on this Gadget."},
    {"NoOpenGadgetList", "CloseGadgetList() can only be called after OpenGadgetList(), PanelGadget(), ScrollAreaGadget() or ContainerGadget()."},
    {"NoGadgetList", "There is no current GadgetList."},
    {"NotDifferent", "#Gadget1 and #Gadget2 must be different."},
    {"SplitterChilds", "Cannot create SplitterGadget with same Number as one of its childs."},
    {"MozillaNotFound", "Mozilla embedding library not found. Call WebGadgetPath() first to specify its path."},
    {"", ""},
};

const LibraryMessage WindowMessages[] = {
    {"NeedOneWindow", "At least one window should be opened to use this command."},
    {"InvalidParent", "ParentID is not a valid WindowID()."},
    {"InvalidEvent", "The 'Event' value of AddKeyboardShortcut() has to be between 0 and 64000."},
    {"", ""},
};

const LibraryMessage CipherMessages[] = {
    {"SmallOutput", "The OutputLength should be atleast 33% more than the InputLength."},
    {"", ""},
};

const LibraryMessage FileMessages[] = {
    {"NegativeSeek", "Cannot seek to a negative position."},
    {"SeekBehindEnd", "Cannot seek beyond the end of the file."},
    {"", ""},
};

const LibraryMessage MemoryMessages[] = {
    {"NullAddress", "Specified address is null."},
    {"NullAlloc", "Can't allocate a memory block of size 0."},
    {"NegativeAlloc", "Can't allocate a memory block with a negative size."},
    {"NullSource", "Source memory pointer is 0."},
    {"NullDest", "Destination memory pointer is 0."},
    {"WrongLength", "Specified length is < -1."},
    {"", ""},
};

}  // namespace

#define KX_LIBRARY(name, group, messages) \
  LibraryTable name = {"Libraries.catalog", "KX_Libraries", group, 0, messages}

KX_LIBRARY(CommonLibrary, "Common", CommonMessages);
KX_LIBRARY(ThreadLibrary, "Thread", ThreadMessages);
KX_LIBRARY(MenuLibrary, "Menu", MenuMessages);
KX_LIBRARY(ImageLibrary, "Image", ImageMessages);
KX_LIBRARY(GadgetLibrary, "Gadget", GadgetMessages);
KX_LIBRARY(WindowLibrary, "Window", WindowMessages);
KX_LIBRARY(CipherLibrary, "Cipher", CipherMessages);
KX_LIBRARY(FileLibrary, "File", FileMessages);
KX_LIBRARY(MemoryLibrary, "Memory", MemoryMessages);

#undef KX_LIBRARY

LibraryTable* const BuiltInLibraries[] = {
    &CommonLibrary, &ThreadLibrary, &MenuLibrary,   &ImageLibrary, &GadgetLibrary,
    &WindowLibrary, &CipherLibrary, &FileLibrary,   &MemoryLibrary, nullptr,
};

const char* BuiltInLibraryText(const LibraryTable* library, const char* key) {
  if (!library || !key) return nullptr;
  for (const LibraryMessage* m = library->defaults; m && m->key && m->key[0]; ++m) {
    if (lstrcmpiA(m->key, key) == 0) return m->text;
  }
  return nullptr;
}

}  // namespace kx
