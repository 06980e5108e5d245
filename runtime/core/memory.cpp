// Memory blocks, PeekText and the UTF-8 <-> Latin-1 conversions.
#include "runtime/core/memory.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/strings.h"

namespace kx {
namespace {

HANDLE memoryHeap = nullptr;
volatile LONG startState = 0;  // 0 not started, 1 starting, 2 started

void EnsureStarted() {
  if (startState != 2) MemoryRuntimeStart();
}

void CheckAllocateBlock(int32_t size) {
  if (size == 0) ReportLibraryError(&MemoryLibrary, "NullAlloc");
  else if (size < 0) ReportLibraryError(&MemoryLibrary, "NegativeAlloc");
}

void CheckPeekText(const void* address, int32_t length) {
  if (!address) ReportLibraryError(&MemoryLibrary, "NullAddress");
  if (length < -1) ReportLibraryError(&MemoryLibrary, "WrongLength");
}

// Units of the text at address: up to the first zero unit, at most limit
// (-1 = no limit).
int32_t CountUnits(const unsigned char* p, int32_t limit, int32_t unitSize) {
  int32_t n = 0;
  if (unitSize == 2) {
    while ((limit < 0 || n < limit) && (p[2 * n] | p[2 * n + 1])) n++;
  } else {
    while ((limit < 0 || n < limit) && p[n]) n++;
  }
  return n;
}

// The bytes of a source that lies in the temporary buffer (also above the
// position, a dropped temporary), copied out so that a result built there
// cannot overwrite them and a move of the buffer cannot take them away.
class StableBytes {
 public:
  StableBytes(const void* source, int32_t size) : bytes_(static_cast<const char*>(source)) {
    if (size > 0 && IsInStringBlock(source)) {
      copy_ = static_cast<char*>(std::malloc(size));
      if (copy_) std::memcpy(copy_, source, size);
      bytes_ = copy_;
    }
  }
  ~StableBytes() { std::free(copy_); }
  StableBytes(const StableBytes&) = delete;
  StableBytes& operator=(const StableBytes&) = delete;
  const char* get() const { return bytes_; }  // null if the copy failed

 private:
  const char* bytes_;
  char* copy_ = nullptr;
};

char* EmptyAt(int32_t mark) { return ReturnString("", 0, mark); }

char* Utf16ToAnsi(const wchar_t* text, int32_t units, int32_t mark) {
  if (units == 0) return EmptyAt(mark);
  int32_t size = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return EmptyAt(mark);
  char* out = ReserveStringRoom(size, mark);
  if (!out) return GetEndPointer();
  int32_t written = WideCharToMultiByte(CP_ACP, 0, text, units, out, size, nullptr, nullptr);
  if (written < 0) written = 0;
  out[written] = 0;
  ReturnStringRoom(size - written);
  return out;
}

}  // namespace

void MemoryRuntimeStart() {
  if (InterlockedCompareExchange(&startState, 1, 0) != 0) {
    while (startState != 2) Sleep(0);
    return;
  }
  memoryHeap = HeapCreate(0, 4096, 0);
  if (!memoryHeap) memoryHeap = GetProcessHeap();
  InterlockedExchange(&startState, 2);
}

void* MemoryHeap() {
  EnsureStarted();
  return memoryHeap;
}

void* AllocateBlock(int32_t size) {
  CheckAllocateBlock(size);
  if (size <= 0) return nullptr;
  EnsureStarted();
  return HeapAlloc(memoryHeap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
}

void FreeBlock(void* address) {
  if (!address) return;
  EnsureStarted();
  HeapFree(memoryHeap, 0, address);
}

char* PeekText(const void* address, int32_t length, int32_t format, int32_t mark) {
  CheckPeekText(address, length);
  if (!address) return EmptyAt(mark);
  if (length < -1) length = 0;
  auto* p = static_cast<const unsigned char*>(address);
  if (format == FormatUtf16) {
    int32_t units = CountUnits(p, length, 2);
    StableBytes source(address, units * 2);
    if (!source.get()) return EmptyAt(mark);
    return Utf16ToAnsi(reinterpret_cast<const wchar_t*>(source.get()), units, mark);
  }
  int32_t bytes = CountUnits(p, length, 1);
  if (format == FormatUtf8) return Utf8ToLatin1String(static_cast<const char*>(address), bytes, mark);
  return ReturnString(static_cast<const char*>(address), bytes, mark);
}

int32_t Utf8ToLatin1(const char* in, int32_t length, char* out, int32_t capacity) {
  auto* p = reinterpret_cast<const unsigned char*>(in);
  int32_t i = 0, n = 0;
  while (i < length && n < capacity) {
    unsigned lead = p[i];
    if (lead < 0x80) {
      out[n++] = static_cast<char>(lead);
      i++;
      continue;
    }
    int32_t size;
    unsigned value;
    if (lead >= 0xC0 && lead <= 0xDF) {
      size = 2;
      value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      size = 3;
      value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
      size = 4;
      value = lead & 0x07;
    } else {
      return -1;
    }
    if (i + size > length) break;  // cut off by the end of the input
    for (int32_t k = 1; k < size; k++) {
      unsigned next = p[i + k];
      if ((next & 0xC0) != 0x80) return -1;
      value = (value << 6) | (next & 0x3F);
    }
    if (value > 0xFF) return -1;
    out[n++] = static_cast<char>(value);
    i += size;
  }
  return n;
}

int32_t Latin1ToUtf8(const char* in, int32_t length, char* out, int32_t capacity) {
  auto* p = reinterpret_cast<const unsigned char*>(in);
  int32_t n = 0;
  for (int32_t i = 0; i < length; i++) {
    unsigned b = p[i];
    int32_t size = b < 0x80 ? 1 : 2;
    if (out) {
      if (n + size > capacity) break;
      if (size == 1) {
        out[n] = static_cast<char>(b);
      } else {
        out[n] = static_cast<char>(0xC0 | (b >> 6));
        out[n + 1] = static_cast<char>(0x80 | (b & 0x3F));
      }
    }
    n += size;
  }
  return n;
}

char* Utf8ToLatin1String(const char* in, int32_t length, int32_t mark) {
  if (!in) return EmptyAt(mark);
  if (length < 0) length = static_cast<int32_t>(std::strlen(in));
  StableBytes source(in, length);
  if (!source.get() && length > 0) return EmptyAt(mark);
  // Latin-1 never takes more bytes than its UTF-8 form.
  char* out = ReserveStringRoom(length, mark);
  if (!out) return GetEndPointer();
  int32_t written = Utf8ToLatin1(source.get(), length, out, length);
  if (written < 0) written = 0;
  out[written] = 0;
  ReturnStringRoom(length - written);
  return out;
}

char* Latin1ToUtf8String(const char* in, int32_t length, int32_t mark) {
  if (!in) return EmptyAt(mark);
  if (length < 0) length = static_cast<int32_t>(std::strlen(in));
  StableBytes source(in, length);
  if (!source.get() && length > 0) return EmptyAt(mark);
  int32_t size = Latin1ToUtf8(source.get(), length, nullptr, 0);
  char* out = ReserveStringRoom(size, mark);
  if (!out) return GetEndPointer();
  int32_t written = Latin1ToUtf8(source.get(), length, out, size);
  out[written] = 0;
  return out;
}

}  // namespace kx
