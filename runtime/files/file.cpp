#include "runtime/files/file.h"

#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "runtime/core/memory.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/files/directory.h"

namespace kx {
namespace {

constexpr intptr_t kHighestFileNumber = 999;

ObjectTable* fileTable = nullptr;

void ReleaseFile(intptr_t file);

ObjectTable* FileTable() {
  if (!fileTable) fileTable = CreateObjectTable(sizeof(FileObject), 16, ReleaseFile, "#File", kHighestFileNumber);
  return fileTable;
}

FileObject* FindFile(intptr_t file) {
  return static_cast<FileObject*>(FindObject(FileTable(), file));
}

// File and line buffers come from the process heap (the core offers no
// accessor for its main heap); they never leave this library.
void* AllocateInternal(size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }
void* GrowInternal(void* block, size_t size) {
  return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size);
}
void FreeInternal(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

// ---- checks ---------------------------------------------------------------

void CheckFileNumber(intptr_t file) { CheckObjectNumber(FileTable(), file); }

void CheckFileObject(intptr_t file) { CheckObject(FileTable(), file); }

void CheckFileObjectAndBuffer(intptr_t file, const void* address) {
  CheckFileObject(file);
  if (!address) ReportError("NullBuffer");
}

// ---- the buffer -----------------------------------------------------------

DWORD RawRead(FileObject* f, void* destination, DWORD length) {
  DWORD got = 0;
  if (!ReadFile(f->handle, destination, length, &got, nullptr)) return 0;
  return got;
}

DWORD RawWrite(FileObject* f, const void* source, DWORD length) {
  DWORD written = 0;
  if (!WriteFile(f->handle, source, length, &written, nullptr)) return 0;
  return written;
}

void MoveHandle(FileObject* f, int64_t distance) {
  LONG high = static_cast<LONG>(distance >> 32);
  SetFilePointer(f->handle, static_cast<LONG>(distance & 0xFFFFFFFF), &high, FILE_CURRENT);
}

void Flush(FileObject* f) {
  if (f->mode != 0) return;
  const int32_t pending = f->size - f->count;
  if (pending > 0) RawWrite(f, f->buffer, static_cast<DWORD>(pending));
  f->count = f->size;
}

int32_t BufferedRead(FileObject* f, void* destination, int32_t n) {
  if (f->mode == 0) {
    Flush(f);
    f->mode = 1;
    f->count = 0;
    f->fill = 0;
  }
  uint8_t* out = static_cast<uint8_t*>(destination);
  if (f->count >= n) {
    memcpy(out, f->buffer + f->fill - f->count, static_cast<size_t>(n));
    f->count -= n;
    return n;
  }
  int32_t total = f->count;
  memcpy(out, f->buffer + f->fill - f->count, static_cast<size_t>(f->count));
  n -= f->count;
  out += f->count;
  f->count = 0;
  if (n < f->size) {
    const int32_t got = static_cast<int32_t>(RawRead(f, f->buffer, static_cast<DWORD>(f->size)));
    f->fill = f->count = got;
    const int32_t take = n < got ? n : got;
    memcpy(out, f->buffer, static_cast<size_t>(take));
    f->count -= take;
    total += take;
  } else {
    total += static_cast<int32_t>(RawRead(f, out, static_cast<DWORD>(n)));
    f->fill = 0;
  }
  return total;
}

int32_t BufferedWrite(FileObject* f, const void* source, int32_t n) {
  if (f->mode == 1) {
    // The handle stands after the read-ahead: move it back to the logical
    // position so that the output lands where reading stopped.
    if (f->count > 0) MoveHandle(f, -static_cast<int64_t>(f->count));
    f->mode = 0;
    f->count = f->size;
  }
  if (n < f->count) {
    memcpy(f->buffer + f->size - f->count, source, static_cast<size_t>(n));
    f->count -= n;
    return n;
  }
  Flush(f);
  if (n >= f->size) return static_cast<int32_t>(RawWrite(f, source, static_cast<DWORD>(n)));
  memcpy(f->buffer, source, static_cast<size_t>(n));
  f->count -= n;
  return n;
}

int32_t ReadBytes(FileObject* f, void* destination, int32_t n) {
  if (n <= 0) return 0;
  if (f->buffer) return BufferedRead(f, destination, n);
  return static_cast<int32_t>(RawRead(f, destination, static_cast<DWORD>(n)));
}

int32_t WriteBytes(FileObject* f, const void* source, int32_t n) {
  if (n <= 0) return 0;
  if (f->buffer) return BufferedWrite(f, source, n);
  return static_cast<int32_t>(RawWrite(f, source, static_cast<DWORD>(n)));
}

// Puts back the unit of `size` bytes just read.  Normally it still lies in
// the buffer; a unit that straddled a refill is put back by moving the handle.
void PutBack(FileObject* f, int32_t size) {
  if (!f->buffer) {
    MoveHandle(f, -size);
  } else if (f->fill - f->count >= size) {
    f->count += size;
  } else {
    MoveHandle(f, -static_cast<int64_t>(f->count) - size);
    f->count = 0;
    f->fill = 0;
  }
}

int64_t HandlePosition(FileObject* f) {
  LONG high = 0;
  DWORD low = SetFilePointer(f->handle, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

int64_t SystemFileLength(FileObject* f) {
  DWORD high = 0;
  DWORD low = GetFileSize(f->handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

int64_t FileLength(FileObject* f) {
  if (f->buffer && f->mode == 0) Flush(f);
  return SystemFileLength(f);
}

// The length Lof() would give, without flushing: the debugger lists files
// while their threads are suspended, possibly in the middle of a buffered
// write, so the list must not touch the buffer.
int64_t LengthWithPendingOutput(FileObject* f) {
  int64_t length = SystemFileLength(f);
  if (length < 0 || !f->buffer || f->mode != 0) return length;
  const int64_t position = HandlePosition(f);
  const int64_t end = position + (f->size - f->count);
  return position >= 0 && end > length ? end : length;
}

int64_t FilePosition(FileObject* f) {
  int64_t position = HandlePosition(f);
  if (!f->buffer || position < 0) return position;
  if (f->mode == 1) return position - f->count;
  return position + (f->size - f->count);
}

// ---- open and close ---------------------------------------------------------

void CloseFileObject(intptr_t file) {
  if (file == DynamicNumber) return;
  FileObject* f = FindFile(file);
  if (!f) return;
  if (f->buffer) {
    Flush(f);
    FreeInternal(f->buffer);
    f->buffer = nullptr;
  }
  CloseHandle(f->handle);
  FreeObject(FileTable(), file);
}

void ReleaseFile(intptr_t file) { CloseFileObject(file); }

enum class OpenKind { New, Open, Read, None };

intptr_t OpenFileObject(intptr_t file, const char* fileName, OpenKind kind) {
  CheckFileNumber(file);
  ObjectTable* table = FileTable();
  FileObject* f = static_cast<FileObject*>(AllocateObject(table, file));
  if (!f) return 0;
  const char* name = fileName ? fileName : "";
  HANDLE handle = INVALID_HANDLE_VALUE;
  // A name beyond the system's limit fails as an unopenable one does.
  if (!PathFits(name)) kind = OpenKind::None;
  switch (kind) {
    case OpenKind::None:
      break;
    case OpenKind::New:
      handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        // A file that may be written but not read (or whose attributes
        // forbid re-creation) can still be emptied in place.
        handle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0, nullptr);
      }
      break;
    case OpenKind::Open:
      handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case OpenKind::Read:
      handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
      break;
  }
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    if (file == DynamicNumber) FreeObject(table, DynamicIdentity(table, f));
    return 0;
  }
  f->buffer = static_cast<uint8_t*>(AllocateInternal(FileBufferSize));
  f->size = FileBufferSize;
  f->count = 0;
  f->fill = 0;
  f->mode = 1;
  f->handle = handle;  // last: the slot is in use from here on
  if (file == DynamicNumber) return DynamicIdentity(table, f);
  return reinterpret_cast<intptr_t>(handle);
}

// ---- text -------------------------------------------------------------------

// Reads one unit (1 or 2 bytes); false at the end of the file.
bool ReadUnit(FileObject* f, int32_t unitSize, uint32_t* unit) {
  uint8_t bytes[2] = {0, 0};
  if (ReadBytes(f, bytes, unitSize) != unitSize) return false;
  *unit = unitSize == 2 ? static_cast<uint32_t>(bytes[0] | (bytes[1] << 8)) : bytes[0];
  return true;
}

// Collects the units of one line through `store`; handles the line ends.
template <typename Store>
void ReadLineUnits(FileObject* f, int32_t unitSize, Store store) {
  uint32_t unit;
  while (ReadUnit(f, unitSize, &unit)) {
    if (unit == 0 || unit == '\n') return;
    if (unit == '\r') {
      uint32_t next;
      if (ReadUnit(f, unitSize, &next) && next != '\n') PutBack(f, unitSize);
      return;
    }
    store(unit);
  }
}

char* EmptyResult(int32_t mark) { return ReturnString("", 0, mark); }

char* ReadLineBytes(FileObject* f, int32_t mark) {
  int32_t room = 4096;
  int32_t length = 0;
  char* result = ReserveStringRoom(room, mark);
  if (!result) return EmptyResult(mark);
  ReadLineUnits(f, 1, [&](uint32_t unit) {
    if (!result) return;  // out of memory: the rest of the line is skipped
    if (length >= room - 1) {
      room += 4096;
      result = ReserveStringRoom(room, mark);
      if (!result) return;
    }
    result[length++] = static_cast<char>(unit);
  });
  if (!result) return EmptyResult(mark);
  result[length] = 0;
  ReturnStringRoom(room - length);
  return result;
}

char* ReadLineUtf8(FileObject* f, int32_t mark) {
  int32_t room = 4096;
  int32_t length = 0;
  uint8_t* block = static_cast<uint8_t*>(AllocateInternal(static_cast<size_t>(room)));
  if (!block) return EmptyResult(mark);
  bool full = false;
  ReadLineUnits(f, 1, [&](uint32_t unit) {
    if (full) return;
    if (length >= room) {
      void* grown = GrowInternal(block, static_cast<size_t>(room) + 4096);
      if (!grown) {
        full = true;
        return;
      }
      block = static_cast<uint8_t*>(grown);
      room += 4096;
    }
    block[length++] = static_cast<uint8_t>(unit);
  });
  char* result = ReserveStringRoom(length + 1, mark);
  if (!result) {
    FreeInternal(block);
    return EmptyResult(mark);
  }
  int32_t converted = Utf8ToLatin1(reinterpret_cast<const char*>(block), length, result, length);
  if (converted < 0) converted = 0;  // invalid or above U+00FF: the empty string
  result[converted] = 0;
  ReturnStringRoom(length + 1 - converted);
  FreeInternal(block);
  return result;
}

char* ReadLineUtf16(FileObject* f, int32_t mark) {
  int32_t room = 2047;
  int32_t length = 0;
  wchar_t* block = static_cast<wchar_t*>(AllocateInternal(static_cast<size_t>(room) * 2));
  if (!block) return EmptyResult(mark);
  bool full = false;
  ReadLineUnits(f, 2, [&](uint32_t unit) {
    if (full) return;
    if (length >= room) {
      void* grown = GrowInternal(block, (static_cast<size_t>(room) + 2048) * 2);
      if (!grown) {
        full = true;
        return;
      }
      block = static_cast<wchar_t*>(grown);
      room += 2048;
    }
    block[length++] = static_cast<wchar_t>(unit);
  });
  int32_t needed = length > 0 ? WideCharToMultiByte(CP_ACP, 0, block, length, nullptr, 0, nullptr, nullptr) : 0;
  if (needed < 0) needed = 0;
  char* result = ReserveStringRoom(needed + 1, mark);
  if (!result) {
    FreeInternal(block);
    return EmptyResult(mark);
  }
  int32_t converted =
      needed > 0 ? WideCharToMultiByte(CP_ACP, 0, block, length, result, needed, nullptr, nullptr) : 0;
  if (converted < 0) converted = 0;
  result[converted] = 0;
  ReturnStringRoom(needed + 1 - converted);
  FreeInternal(block);
  return result;
}

int32_t WriteText(FileObject* f, const char* text, int32_t format) {
  if (!text || !*text) return 0;
  const int32_t length = static_cast<int32_t>(strlen(text));
  if (format == 1) {
    wchar_t* wide = static_cast<wchar_t*>(AllocateInternal((static_cast<size_t>(length) + 1) * 2));
    if (!wide) return 0;
    const int32_t units = MultiByteToWideChar(CP_ACP, 0, text, length, wide, length + 1);
    const int32_t written = units > 0 ? WriteBytes(f, wide, units * 2) : 0;
    FreeInternal(wide);
    return written;
  }
  if (format == 2) {
    uint8_t* encoded = static_cast<uint8_t*>(AllocateInternal(static_cast<size_t>(length) * 4));
    if (!encoded) return 0;
    const int32_t n = Latin1ToUtf8(text, length, reinterpret_cast<char*>(encoded), length * 4);
    const int32_t written = WriteBytes(f, encoded, n);
    FreeInternal(encoded);
    return written;
  }
  return WriteBytes(f, text, length);
}

}  // namespace

// ---- commands -------------------------------------------------------------------

static const DebuggerList fileList = {sizeof(DebuggerList), DebuggerListRows, "KX_LIBRARY_File", "File",
                                "#File\t80\tHandle\t200\tLof()\t80\tLoc()\t80", FileListWalk};

void FileLibraryStart() {
  FileTable();
  RegisterDebuggerList(&fileList);
}

void FileLibraryEnd() { CloseAllFiles(); }

intptr_t NewFile(intptr_t file, const char* fileName) { return OpenFileObject(file, fileName, OpenKind::New); }

intptr_t OpenFile(intptr_t file, const char* fileName) { return OpenFileObject(file, fileName, OpenKind::Open); }

intptr_t OpenFileForReading(intptr_t file, const char* fileName) {
  return OpenFileObject(file, fileName, OpenKind::Read);
}

void CloseFile(intptr_t file) {
  CheckFileObject(file);
  CloseFileObject(file);
}

void CloseAllFiles() {
  if (fileTable) FreeAllObjects(fileTable);
}

int32_t ReadFileBlock(intptr_t file, void* destination, int32_t length) {
  CheckFileObjectAndBuffer(file, destination);
  FileObject* f = FindFile(file);
  if (!f || !destination) return 0;
  return ReadBytes(f, destination, length);
}

int32_t WriteFileBlock(intptr_t file, const void* source, int32_t length) {
  CheckFileObjectAndBuffer(file, source);
  FileObject* f = FindFile(file);
  if (!f || !source || length <= 0) return 0;
  return WriteBytes(f, source, length);
}

char* ReadFileLine(intptr_t file, int32_t format, int32_t mark) {
  CheckFileObject(file);
  FileObject* f = FindFile(file);
  if (!f) return EmptyResult(mark);
  if (format == 2) return ReadLineUtf8(f, mark);
  if (format == 1) return ReadLineUtf16(f, mark);
  return ReadLineBytes(f, mark);
}

int32_t WriteFileText(intptr_t file, const char* text, int32_t format) {
  CheckFileObject(file);
  FileObject* f = FindFile(file);
  if (!f) return 0;
  return WriteText(f, text, format);
}

int32_t WriteFileLine(intptr_t file, const char* text, int32_t format) {
  CheckFileObject(file);
  FileObject* f = FindFile(file);
  if (!f) return 0;
  WriteText(f, text, format);
  return WriteText(f, "\r\n", format);
}

int32_t AtFileEnd(intptr_t file) {
  FileObject* f = FindFile(file);
  if (!f) return 0;
  uint8_t byte;
  if (f->buffer) {
    if (BufferedRead(f, &byte, 1) == 1) {
      PutBack(f, 1);
      return 0;
    }
    return 1;
  }
  if (RawRead(f, &byte, 1) != 1) return -1;
  MoveHandle(f, -1);
  return 0;
}

int64_t Lof(intptr_t file) {
  FileObject* f = FindFile(file);
  if (!f) return -1;
  return FileLength(f);
}

int64_t Loc(intptr_t file) {
  FileObject* f = FindFile(file);
  if (!f) return -1;
  return FilePosition(f);
}

intptr_t IsFileObject(intptr_t file) { return reinterpret_cast<intptr_t>(IsObject(FileTable(), file)); }

void FileListWalk(DebuggerListVisitor visit, void* context) {
  char row[DebuggerListRowSize + 1];
  intptr_t number = 0;
  BeginObjectIteration(FileTable());
  while (FileObject* f = static_cast<FileObject*>(NextObject(FileTable(), &number))) {
    char length[32];
    char position[32];
    snprintf(length, sizeof length, "%lld", static_cast<long long>(LengthWithPendingOutput(f)));
    snprintf(position, sizeof position, "%lld", static_cast<long long>(FilePosition(f)));
    const intptr_t handle = reinterpret_cast<intptr_t>(f->handle);
    snprintf(row, sizeof row, "%" PRIdPTR "\t%" PRIdPTR " ($%" PRIXPTR ")\t%s\t%s", number, handle,
             static_cast<uintptr_t>(handle), length, position);
    visit(context, row, number);
  }
}

}  // namespace kx
