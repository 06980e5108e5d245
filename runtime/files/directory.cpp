#include "runtime/files/directory.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/core/debugger_seam.h"

#undef CopyFile
#undef RemoveDirectory

namespace kx {
namespace {

constexpr intptr_t kHighestDirectoryNumber = 10000;

struct DirectoryObject {
  HANDLE search;    // INVALID_HANDLE_VALUE for a listing without entries
  int32_t started;  // 1 once NextDirectoryEntry() made the first entry current
  WIN32_FIND_DATAA entry;
};

ObjectTable* directoryTable = nullptr;

// Path work buffer: the argument with room for the separator and pattern
// that are appended.  Nothing is ever cut silently: Fits() tells whether
// the whole text was taken and stays within the system's limit.
struct WorkPath {
  char text[2 * MAX_PATH + 2];
  size_t length = 0;
  bool cut = false;

  explicit WorkPath(const char* path) {
    text[0] = 0;
    Append(path);
  }
  void Append(const char* piece) {
    if (!piece) return;
    while (*piece && length + 1 < sizeof(text)) text[length++] = *piece++;
    if (*piece) cut = true;
    text[length] = 0;
  }
  bool Fits() const { return !cut && length <= static_cast<size_t>(LongestPath); }
  bool EndsWithBackslash() const { return length > 0 && text[length - 1] == '\\'; }
};

void FinishDirectoryObject(intptr_t directory) {
  DirectoryObject* d = static_cast<DirectoryObject*>(FindObject(directoryTable, directory));
  if (!d) return;
  if (d->search != INVALID_HANDLE_VALUE) FindClose(d->search);
  FreeObject(directoryTable, directory);
}

// The table, made on first use; the static keeps two first callers from
// making two.  Its checks accept -1 to 10000 and name 10000 as the limit.
ObjectTable* DirectoryTable() {
  static ObjectTable* const table = (directoryTable = CreateObjectTable(
                                         sizeof(DirectoryObject), 16, FinishDirectoryObject, "#Directory",
                                         kHighestDirectoryNumber, static_cast<int32_t>(kHighestDirectoryNumber)));
  return table;
}

DirectoryObject* FindDirectory(intptr_t directory) {
  if (!directoryTable) return nullptr;
  return static_cast<DirectoryObject*>(FindObject(directoryTable, directory));
}

// "NoObject" when the number names no listing; the listing otherwise.
DirectoryObject* CheckedDirectory(intptr_t directory) {
  return static_cast<DirectoryObject*>(CheckObject(DirectoryTable(), directory));
}

void CheckDirectoryListing(intptr_t directory) {
  if (!CheckedDirectory(directory)) ReportError("CallNeededAny", "ExamineDirectory()");
}

void CheckDirectoryEntry(intptr_t directory) {
  DirectoryObject* d = CheckedDirectory(directory);
  if (d && !d->started) {
    ReportError("CallNeededAny", "NextDirectoryEntry()");
  }
}

char* TextResult(const char* text, int32_t length, int32_t mark) { return ReturnString(text, length, mark); }

// The three path-part commands may be given a string that lies in the
// temporary string buffer; ReturnString finds it again after reserving room.
char* PathPiece(const char* path, int32_t start, int32_t length, int32_t mark) {
  return ReturnString(path + start, length, mark);
}

int32_t DeleteTree(const char* path, const char* pattern, int32_t flags) {
  WorkPath folder(path);
  if (!folder.EndsWithBackslash()) folder.Append("\\");
  WorkPath search(folder.text);
  search.Append(pattern);
  if (!search.Fits()) return 0;
  WIN32_FIND_DATAA entry;
  HANDLE handle = FindFirstFileA(search.text, &entry);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  do {
    WorkPath item(folder.text);
    item.Append(entry.cFileName);
    if (!item.Fits()) continue;  // beyond reach; the folder then stays
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if ((flags & 1) && strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0) {
        DeleteTree(item.text, pattern, flags);
      }
    } else {
      if (flags & 2) SetFileAttributesA(item.text, FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(item.text);
    }
  } while (FindNextFileA(handle, &entry));
  FindClose(handle);
  if (flags & 2) SetFileAttributesA(folder.text, FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryA(folder.text) ? 1 : 0;
}

}  // namespace

int32_t PathFits(const char* path) { return path && strnlen(path, LongestPath + 1) <= LongestPath ? 1 : 0; }

intptr_t ExamineDirectory(intptr_t directory, const char* folder, const char* pattern) {
  CheckObjectNumber(DirectoryTable(), directory);
  WorkPath path(folder ? folder : "");
  if (path.length > 0 && !path.EndsWithBackslash()) path.Append("\\");
  path.Append(pattern && *pattern ? pattern : "*.*");
  if (!path.Fits()) return 0;

  DirectoryObject* d = static_cast<DirectoryObject*>(AllocateObject(directoryTable, directory));
  if (!d) return 0;
  HANDLE search = FindFirstFileA(path.text, &d->entry);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      if (directory == DynamicNumber) {
        FreeObject(directoryTable, DynamicIdentity(directoryTable, d));
      } else {
        d->search = nullptr;
      }
      return 0;
    }
    d->started = 1;  // the listing is empty
  } else {
    d->started = 0;
  }
  d->search = search;
  if (directory == DynamicNumber) return DynamicIdentity(directoryTable, d);
  return reinterpret_cast<intptr_t>(d);
}

int32_t NextDirectoryEntry(intptr_t directory) {
  CheckDirectoryListing(directory);
  DirectoryObject* d = FindDirectory(directory);
  if (!d || d->search == INVALID_HANDLE_VALUE) return 0;
  if (!d->started) {
    d->started = 1;
    return 1;
  }
  return FindNextFileA(d->search, &d->entry) ? 1 : 0;
}

char* DirectoryEntryName(intptr_t directory, int32_t mark) {
  CheckDirectoryEntry(directory);
  DirectoryObject* d = FindDirectory(directory);
  if (!d) return TextResult("", 0, mark);
  // The find data is fixed in place (slots never move), so no re-location.
  return TextResult(d->entry.cFileName, static_cast<int32_t>(strnlen(d->entry.cFileName, MAX_PATH)), mark);
}

int32_t DirectoryEntryType(intptr_t directory) {
  CheckDirectoryEntry(directory);
  DirectoryObject* d = FindDirectory(directory);
  if (!d) return 0;
  return (d->entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryDirectory : EntryFile;
}

void FinishDirectory(intptr_t directory) {
  CheckDirectoryListing(directory);
  FinishDirectoryObject(directory);
}

void DirectoryLibraryEnd() {
  if (directoryTable) FreeAllObjects(directoryTable);
}

int32_t MakeDirectory(const char* path) {
  if (!path) return 0;
  WorkPath work(path);
  while (work.length > 0) {
    const char last = work.text[work.length - 1];
    if (last != ' ' && last != '/' && last != '\\') break;
    work.text[--work.length] = 0;
  }
  if (!work.Fits()) return 0;
  return CreateDirectoryA(work.text, nullptr) ? 1 : 0;
}

int64_t FileSize(const char* path) {
  if (!path || !*path) return -1;
  WorkPath work(path);
  if (!work.Fits()) return -1;
  if ((work.length == 2 || work.length == 3) && work.text[1] == ':') {
    if (work.length == 2) work.Append("\\");
    return GetDriveTypeA(work.text) > DRIVE_NO_ROOT_DIR ? -2 : -1;
  }
  while (work.length > 1 && work.text[work.length - 1] == '\\') work.text[--work.length] = 0;
  WIN32_FIND_DATAA entry;
  HANDLE handle = FindFirstFileA(work.text, &entry);
  if (handle == INVALID_HANDLE_VALUE) {
    if (work.text[0] == '\\' && work.text[1] == '\\') {
      const DWORD attributes = GetFileAttributesA(work.text);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return -2;
    }
    return -1;
  }
  FindClose(handle);
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -2;
  return (static_cast<int64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

int32_t DeleteDirectory(const char* path, const char* pattern, int32_t flags) {
  if (!path || !*path) return 0;
  return DeleteTree(path, pattern && *pattern ? pattern : "*.*", flags);
}

int32_t RemoveFile(const char* path) {
  if (!path) return 0;
  WorkPath work(path);
  if (!work.Fits()) return 0;
  return DeleteFileA(work.text) ? 1 : 0;
}

int32_t CopyFile(const char* source, const char* destination) {
  WorkPath from(source ? source : "");
  WorkPath to(destination ? destination : "");
  if (!from.Fits() || !to.Fits()) return 0;
  return CopyFileA(from.text, to.text, FALSE) ? 1 : 0;
}

char* GetTempDirectory(int32_t mark) {
  char path[MAX_PATH + 1];
  DWORD length = GetTempPathA(MAX_PATH, path);
  if (length == 0 || length > MAX_PATH) length = 0;
  path[length] = 0;
  HMODULE kernel = LoadLibraryA("Kernel32.DLL");
  if (kernel) {
    using LongPathFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    auto longPath = reinterpret_cast<LongPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameA")));
    if (longPath) {
      char longForm[MAX_PATH + 1];
      DWORD longLength = longPath(path, longForm, MAX_PATH);
      if (longLength == 0 || longLength > MAX_PATH) longLength = 0;
      memcpy(path, longForm, longLength);
      length = longLength;
      path[length] = 0;
    }
    FreeLibrary(kernel);
  }
  return TextResult(path, static_cast<int32_t>(length), mark);
}

char* GetHomeDirectory(int32_t mark) {
  char path[MAX_PATH + 2];
  path[0] = 0;
  HMODULE shell = LoadLibraryA("Shell32.dll");
  if (shell) {
    using LocationFunction = HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*);
    using MallocFunction = HRESULT(WINAPI*)(IMalloc**);
    using PathFunction = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
    auto location = reinterpret_cast<LocationFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetSpecialFolderLocation")));
    auto getMalloc = reinterpret_cast<MallocFunction>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetMalloc")));
    auto toPath =
        reinterpret_cast<PathFunction>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetPathFromIDListA")));
    LPITEMIDLIST items = nullptr;
    if (location && getMalloc && toPath && SUCCEEDED(location(nullptr, CSIDL_PROFILE, &items)) && items) {
      if (!toPath(items, path)) path[0] = 0;
      IMalloc* allocator = nullptr;
      if (SUCCEEDED(getMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
      }
    }
    FreeLibrary(shell);
  }
  size_t length = strnlen(path, MAX_PATH);
  if (length > 0 && path[length - 1] != '\\') {
    path[length++] = '\\';
    path[length] = 0;
  }
  return TextResult(path, static_cast<int32_t>(length), mark);
}

char* GetPathPart(const char* path, int32_t mark) {
  const char* text = path ? path : "";
  int32_t start = text[0] == '"' ? 1 : 0;
  int32_t end = start;  // just after the last separator seen
  for (int32_t i = start; text[i] && text[i] != '|'; ++i) {
    if (text[i] == '\\' || text[i] == '/') end = i + 1;
  }
  return PathPiece(text, start, end - start, mark);
}

char* GetFilePart(const char* path, int32_t mark) {
  const char* text = path ? path : "";
  int32_t start = text[0] == '"' ? 1 : 0;
  for (int32_t i = start; text[i]; ++i) {
    if (text[i] == '\\' || text[i] == '/') start = i + 1;
  }
  int32_t end = start;
  while (text[end] && text[end] != '"') ++end;
  return PathPiece(text, start, end - start, mark);
}

char* GetExtensionPart(const char* path, int32_t mark) {
  const char* text = path ? path : "";
  const int32_t length = static_cast<int32_t>(strlen(text));
  int32_t start = -1;
  for (int32_t i = length - 1; i >= 0; --i) {
    if (text[i] == '\\' || text[i] == '/') break;
    if (text[i] == '.') {
      start = i + 1;
      break;
    }
  }
  if (start < 0) return PathPiece(text, 0, 0, mark);
  int32_t end = start;
  while (text[end] && text[end] != '"') ++end;
  return PathPiece(text, start, end - start, mark);
}

}  // namespace kx
