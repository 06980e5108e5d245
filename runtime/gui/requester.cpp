// Message box, file dialogs and folder browser, with the window disabling
// that every requester shares.
#include "runtime/gui/requester.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "runtime/core/scoped.h"
#include "runtime/core/strings.h"

namespace kx {

namespace {

// ---- disabled windows (program-wide, per thread ID) -------------------------

struct DisabledWindow {
  DisabledWindow* next;
  DWORD thread;
  HWND window;
};

CRITICAL_SECTION g_disabledLock;
DisabledWindow* g_disabled = nullptr;
bool g_started = false;

struct RequesterState {
  char* buffer;           // result buffer of the last file dialog
  int32_t pattern;        // chosen filter, 0-based
  char* folder;           // after a multiple choice: the folder part
  int32_t next;           // and the offset of the next name in the buffer
};
RequesterState g_state;
bool g_comStarted = false;

BOOL CALLBACK DisableOne(HWND window, LPARAM foreground) {
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window) || window == reinterpret_cast<HWND>(foreground)) {
    return TRUE;
  }
  DisabledWindow* entry =
      static_cast<DisabledWindow*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DisabledWindow)));
  if (!entry) return TRUE;
  EnableWindow(window, FALSE);
  entry->thread = GetCurrentThreadId();
  entry->window = window;
  ScopedLock lock(&g_disabledLock);
  entry->next = g_disabled;
  g_disabled = entry;
  return TRUE;
}

HWND DialogOwner() {
  HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground) GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId() ? foreground : nullptr;
}

// Disables the thread's windows for the time of one dialog.
class DisabledWindows {
 public:
  DisabledWindows() { DisableThreadWindows(); }
  ~DisabledWindows() { EnableThreadWindows(); }
};

void FreeBuffer(char*& block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
  block = nullptr;
}

char* FileRequester(bool save, const char* title, const char* defaultFile, const char* pattern,
                    int32_t patternPosition, int32_t flags, int32_t mark) {
  FreeBuffer(g_state.buffer);
  FreeBuffer(g_state.folder);
  g_state.next = 0;
  const bool multiple = !save && (flags & RequesterMultiSelection);
  const int32_t size = multiple ? MultiFileRequesterBufferSize : FileRequesterBufferSize;
  g_state.buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size_t(size)));
  if (!g_state.buffer) return ReturnString("", 0, mark);

  const int32_t filterSize = (pattern ? lstrlenA(pattern) : 0) + 2;
  char* filter = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size_t(filterSize)));
  if (filter) FilterList(pattern, filter, filterSize);

  char folder[MAX_PATH] = "";
  char name[MAX_PATH] = "";
  if (defaultFile) {
    SplitDefaultFile(defaultFile, folder, sizeof folder, name, sizeof name);
    lstrcpynA(g_state.buffer, name, size);
  }

  OPENFILENAMEA dialog = {};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = DialogOwner();
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = DWORD(patternPosition + 1);
  dialog.lpstrFile = g_state.buffer;
  dialog.nMaxFile = DWORD(size);
  dialog.lpstrInitialDir = defaultFile ? folder : nullptr;
  dialog.lpstrTitle = title;
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (multiple) dialog.Flags |= OFN_ALLOWMULTISELECT;

  BOOL chosen;
  {
    DisabledWindows disabled;
    chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  }
  if (filter) HeapFree(GetProcessHeap(), 0, filter);

  char* result;
  if (!chosen) {
    result = ReturnString("", 0, mark);
  } else {
    g_state.pattern = int32_t(dialog.nFilterIndex) - 1;
    const char* buffer = g_state.buffer;
    const int32_t first = lstrlenA(buffer);
    // A list (folder, zero, first name, zero, further names, two zeros) has
    // its first name after the folder's zero; one path has it inside.
    if (multiple && dialog.nFileOffset > first) {
      const char* firstName = buffer + first + 1;
      const int32_t nameLength = lstrlenA(firstName);
      const bool slash = first > 0 && buffer[first - 1] == '\\';
      g_state.folder = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size_t(first + 2)));
      if (g_state.folder) {
        lstrcpyA(g_state.folder, buffer);
        if (!slash) lstrcatA(g_state.folder, "\\");
      }
      g_state.next = first + 1 + nameLength + 1;
      char* out = ReserveStringRoom(first + 1 + nameLength, mark);
      if (out) {
        memcpy(out, buffer, size_t(first));
        int32_t at = first;
        if (!slash) out[at++] = '\\';
        memcpy(out + at, firstName, size_t(nameLength));
        out[at + nameLength] = 0;
        if (slash) ReturnStringRoom(1);
      }
      result = out ? out : ReturnString("", 0, mark);
    } else {
      result = ReturnString(buffer, first, mark);
    }
  }
  if (!multiple) FreeBuffer(g_state.buffer);
  return result;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data && *reinterpret_cast<const char*>(data)) {
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
  }
  return 0;
}

}  // namespace

void RequesterLibraryStart() {
  if (g_started) return;
  g_started = true;
  InitializeCriticalSection(&g_disabledLock);
  InitCommonControls();
  CoInitialize(nullptr);
  g_comStarted = true;
}

void DisableThreadWindows() {
  RequesterLibraryStart();
  EnumWindows(DisableOne, reinterpret_cast<LPARAM>(GetForegroundWindow()));
}

void EnableThreadWindows() {
  RequesterLibraryStart();
  const DWORD thread = GetCurrentThreadId();
  DisabledWindow* mine = nullptr;
  {
    ScopedLock lock(&g_disabledLock);
    for (DisabledWindow** link = &g_disabled; *link;) {
      DisabledWindow* entry = *link;
      if (entry->thread == thread) {
        *link = entry->next;
        entry->next = mine;
        mine = entry;
      } else {
        link = &entry->next;
      }
    }
  }
  while (mine) {
    DisabledWindow* entry = mine;
    mine = entry->next;
    EnableWindow(entry->window, TRUE);
    HeapFree(GetProcessHeap(), 0, entry);
  }
}

int32_t DisabledWindowCount() {
  RequesterLibraryStart();
  ScopedLock lock(&g_disabledLock);
  int32_t count = 0;
  for (DisabledWindow* entry = g_disabled; entry; entry = entry->next) ++count;
  return count;
}

int32_t MessageRequester(const char* title, const char* text, int32_t flags) {
  HWND owner = DialogOwner();
  DisabledWindows disabled;
  return MessageBoxA(owner, text ? text : "", title ? title : "", UINT(flags));
}

char* OpenFileRequester(const char* title, const char* defaultFile, const char* pattern, int32_t patternPosition,
                        int32_t flags, int32_t mark) {
  return FileRequester(false, title, defaultFile, pattern, patternPosition, flags, mark);
}

char* SaveFileRequester(const char* title, const char* defaultFile, const char* pattern, int32_t patternPosition,
                        int32_t mark) {
  return FileRequester(true, title, defaultFile, pattern, patternPosition, 0, mark);
}

char* PathRequester(const char* title, const char* initialPath, int32_t mark) {
  if (!g_comStarted) {
    CoInitialize(nullptr);
    g_comStarted = true;
  }
  ScopedModule shell(LoadLibraryA("SHELL32.DLL"));
  if (!shell) return ReturnString("", 0, mark);
  using Browse = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOA);
  using PathOf = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
  // The A forms by name; the plain names are what old shells export.
  auto browse = reinterpret_cast<Browse>(reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHBrowseForFolder")));
  auto pathOf = reinterpret_cast<PathOf>(reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHGetPathFromIDList")));
  if (!browse) browse = reinterpret_cast<Browse>(reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHBrowseForFolderA")));
  if (!pathOf) pathOf = reinterpret_cast<PathOf>(reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHGetPathFromIDListA")));
  if (!browse || !pathOf) return ReturnString("", 0, mark);

  char start[MAX_PATH] = "";
  FolderBrowserStart(initialPath, start, sizeof start);
  BROWSEINFOA info = {};
  info.hwndOwner = DialogOwner();
  info.lpszTitle = title;
  info.ulFlags = BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start);
  LPITEMIDLIST chosen;
  {
    DisabledWindows disabled;
    chosen = browse(&info);
  }
  if (!chosen) return ReturnString("", 0, mark);
  char path[MAX_PATH + 1] = "";
  pathOf(chosen, path);
  CoTaskMemFree(chosen);
  const int32_t length = lstrlenA(path);
  if (length == 0 || path[length - 1] != '\\') lstrcatA(path, "\\");
  return ReturnString(path, -1, mark);
}

int32_t SelectedFilePattern() { return g_state.pattern; }
const char* MultiSelectionFolder() { return g_state.folder ? g_state.folder : ""; }
int32_t MultiSelectionNext() { return g_state.next; }

int32_t FilterList(const char* pattern, char* out, int32_t size) {
  if (size < 2) return 0;
  int32_t at = 0;
  for (const char* p = pattern ? pattern : ""; *p && at < size - 2; ++p) out[at++] = *p == '|' ? '\0' : *p;
  out[at++] = 0;
  out[at++] = 0;
  return at;
}

bool IsValidFileName(const char* name) {
  if (!name || !*name) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    if (*p < 32 || strchr("\"*/:<>?\\|", *p)) return false;
  }
  return true;
}

void SplitDefaultFile(const char* defaultFile, char* folder, int32_t folderSize, char* name, int32_t nameSize) {
  folder[0] = name[0] = 0;
  if (!defaultFile) return;
  const char* slash = strrchr(defaultFile, '\\');
  const char* file = defaultFile;
  if (slash) {
    const int32_t length = int32_t(slash - defaultFile);
    lstrcpynA(folder, defaultFile, (length + 1 < folderSize ? length + 1 : folderSize));
    file = slash + 1;
  }
  if (IsValidFileName(file)) lstrcpynA(name, file, nameSize);
}

void FolderBrowserStart(const char* path, char* out, int32_t size) {
  out[0] = 0;
  if (!path) return;
  lstrcpynA(out, path, size < MAX_PATH ? size : MAX_PATH);
  const int32_t length = lstrlenA(out);
  if (length > 3 && out[length - 1] == '\\') out[length - 1] = 0;
}

}  // namespace kx
