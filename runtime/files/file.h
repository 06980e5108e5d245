// Numbered file objects with a 4096-byte buffer that serves reading and
// writing alike.  Text formats of the line and text operations: 1 = UTF-16LE,
// 2 = UTF-8, any other value = the bytes unchanged.
#pragma once

#include <cstdint>

#include "runtime/core/debugger_seam.h"

namespace kx {

constexpr int32_t FileBufferSize = 4096;

// One slot of the #File table.  count: read mode, read-ahead bytes not yet
// consumed (the last count of the fill bytes of the buffer); write mode, free
// room left.  mode: 1 read, 0 write.
struct FileObject {
  void* handle;
  uint8_t* buffer;  // null when it could not be allocated: unbuffered then
  int32_t size;
  int32_t count;
  int32_t fill;
  int32_t mode;
};

void FileLibraryStart();
void FileLibraryEnd();

// The open operations return the Win32 handle for a fixed number, the new
// identity for DynamicNumber, 0 on failure (no object is left then).
intptr_t NewFile(intptr_t file, const char* fileName);
intptr_t OpenFile(intptr_t file, const char* fileName);
intptr_t OpenFileForReading(intptr_t file, const char* fileName);
void CloseFile(intptr_t file);
void CloseAllFiles();

int32_t ReadFileBlock(intptr_t file, void* destination, int32_t length);
int32_t WriteFileBlock(intptr_t file, const void* source, int32_t length);

// The next line without its line end (CR, LF, CR LF, a zero character or the
// end of the file), built at the mark of the temporary string buffer.
char* ReadFileLine(intptr_t file, int32_t format, int32_t mark);
int32_t WriteFileText(intptr_t file, const char* text, int32_t format);
// Returns the byte count of the line end's write.
int32_t WriteFileLine(intptr_t file, const char* text, int32_t format);

int32_t AtFileEnd(intptr_t file);
int64_t Lof(intptr_t file);
int64_t Loc(intptr_t file);
intptr_t IsFileObject(intptr_t file);

// The debugger's "KX_LIBRARY_File" list: a row "number\thandle ($HEX)\tlength\tposition" per
// open file (number or identity, handle, Lof(), Loc()), all rows in one walk
// of the file table.
void FileListWalk(DebuggerListVisitor visit, void* context);

}  // namespace kx
