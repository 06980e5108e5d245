// The requester library: the system's modal dialogs (message box, open and
// save file dialogs, folder browser).  While one is open, every other
// enabled, visible top-level window of the calling thread is disabled.
#pragma once

#include <cstdint>

namespace kx {

constexpr int32_t RequesterMultiSelection = 1;   // OpenFileRequester: several files
constexpr int32_t FileRequesterBufferSize = 260;
constexpr int32_t MultiFileRequesterBufferSize = 512000;

void RequesterLibraryStart();

// MessageBoxA type flags in, its result out (1 OK, 2 Cancel, 6 Yes, 7 No ...).
int32_t MessageRequester(const char* title, const char* text, int32_t flags);
// The chosen path, or the empty string; built at mark.
char* OpenFileRequester(const char* title, const char* defaultFile, const char* pattern, int32_t patternPosition,
                        int32_t flags, int32_t mark);
char* SaveFileRequester(const char* title, const char* defaultFile, const char* pattern, int32_t patternPosition,
                        int32_t mark);
// The chosen folder with a trailing backslash, or the empty string.
char* PathRequester(const char* title, const char* initialPath, int32_t mark);

// State of the last file dialog: the chosen filter (0-based), and after a
// multiple choice the folder and the offset of the next name in the buffer
// (0 when nothing is kept).
int32_t SelectedFilePattern();
const char* MultiSelectionFolder();
int32_t MultiSelectionNext();

// The rules of the file dialogs, apart from the dialogs.
// The Win32 filter list of a pattern ("|" -> zero byte, a second zero at the
// end) into out (size bytes); returns the bytes used.
int32_t FilterList(const char* pattern, char* out, int32_t size);
// Splits a default file at its last backslash into folder and name; the name
// is kept only when it is a valid file name.
void SplitDefaultFile(const char* defaultFile, char* folder, int32_t folderSize, char* name, int32_t nameSize);
bool IsValidFileName(const char* name);
// The initial path of the folder browser: at most 259 characters, a trailing
// backslash removed when the path is longer than 3 characters (C:\ keeps it).
void FolderBrowserStart(const char* path, char* out, int32_t size);

// Window disabling around a dialog (also used by the tests).
void DisableThreadWindows();
void EnableThreadWindows();
int32_t DisabledWindowCount();   // records of all threads

}  // namespace kx
