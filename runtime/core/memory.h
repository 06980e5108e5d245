// Memory blocks of the memory heap, reading texts from memory, and the
// UTF-8 <-> Latin-1 conversions shared with the File library.
#pragma once

#include <cstdint>

namespace kx {

// Text format codes (shared with the File library); any other value means
// the bytes unchanged.
constexpr int32_t FormatUtf16 = 1;
constexpr int32_t FormatUtf8 = 2;

// Program start: creates the memory heap.  Runs once.
void MemoryRuntimeStart();
void* MemoryHeap();

// A zero-filled block of the memory heap; nullptr when size <= 0 ("NullAlloc",
// "NegativeAlloc") or the heap is exhausted.
void* AllocateBlock(int32_t size);
void FreeBlock(void* address);          // nullptr is ignored

// Text read from memory, built at mark (string-return rule, strings.h):
// format 1 UTF-16LE (to the ANSI code page), 2 UTF-8 (to Latin-1), else the
// bytes.  length -1 = up to the terminating zero, else at most length units
// (characters of 2 bytes for UTF-16, bytes otherwise) and never past a zero;
// below -1 counts as 0 ("WrongLength").  Address 0 gives "" ("NullAddress").
char* PeekText(const void* address, int32_t length, int32_t format, int32_t mark);

// UTF-8 -> Latin-1 over buffers: converts length bytes of in into out (room
// for capacity bytes, no terminator written).  A sequence cut off by the end
// of the input, or a full output, ends the conversion.  Returns the bytes
// written, or -1 for an invalid sequence or a character above U+00FF.
int32_t Utf8ToLatin1(const char* in, int32_t length, char* out, int32_t capacity);
// Latin-1 -> UTF-8: bytes from 0x80 become two bytes.  Returns the bytes
// written (stops before a character that no longer fits).  out = nullptr only
// counts the bytes needed.
int32_t Latin1ToUtf8(const char* in, int32_t length, char* out, int32_t capacity);

// Both conversions as string results at mark (in may lie in the temporary
// buffer); length -1 = up to in's zero.  An invalid UTF-8 input gives "".
char* Utf8ToLatin1String(const char* in, int32_t length, int32_t mark);
char* Latin1ToUtf8String(const char* in, int32_t length, int32_t mark);

}  // namespace kx
