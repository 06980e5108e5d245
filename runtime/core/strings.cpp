// String heap, per-thread temporary buffers and the string operations.
#include "runtime/core/strings.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/objects.h"

namespace kx {
namespace {

// The control record of one thread's temporary buffer.  The block behind base
// is capacity + 5 bytes, so a terminator one past any reserved room fits.
struct StringBuffer {
  char* base;
  int32_t capacity;
  int32_t position;
};

constexpr int32_t FirstCapacity = 16;
constexpr int32_t GrowthStep = 16384;
constexpr int32_t SpareBytes = 5;

HANDLE stringHeap = nullptr;
DWORD bufferSlot = TLS_OUT_OF_INDEXES;
volatile LONG startState = 0;  // 0 not started, 1 starting, 2 started

// Used by a thread whose buffer could not be made: capacity 0, it never
// grows, every result built in it is the empty string.
char emergencyBytes[8];
StringBuffer emergencyBuffer = {emergencyBytes, 0, 0};

StringBuffer* MakeBuffer() {
  auto* buffer = static_cast<StringBuffer*>(HeapAlloc(stringHeap, 0, sizeof(StringBuffer)));
  if (!buffer) return nullptr;
  buffer->base = static_cast<char*>(HeapAlloc(stringHeap, 0, FirstCapacity + SpareBytes));
  if (!buffer->base) {
    HeapFree(stringHeap, 0, buffer);
    return nullptr;
  }
  buffer->base[0] = 0;
  buffer->capacity = FirstCapacity;
  buffer->position = 0;
  return buffer;
}

// Runs on a thread-exit watcher after the buffer's thread has ended.
void ReleaseBuffer(void* value) {
  auto* buffer = static_cast<StringBuffer*>(value);
  HeapFree(stringHeap, 0, buffer->base);
  HeapFree(stringHeap, 0, buffer);
}

// Gives the calling thread (not the first one) its buffer, released after
// the thread ends.
StringBuffer* MakeThreadBuffer() {
  StringBuffer* buffer = MakeBuffer();
  if (!buffer) return nullptr;
  TlsSetValue(bufferSlot, buffer);
  AddThreadExitCleanup(ReleaseBuffer, buffer);
  return buffer;
}

void EnsureStarted() {
  if (startState != 2) StringRuntimeStart();
}

// The calling thread's buffer, made on first use.  Keeps the thread's last
// error code: TlsGetValue clears it, and string expressions run between a
// failing system call and the program's reading of that code.
StringBuffer* CurrentBuffer() {
  EnsureStarted();
  DWORD error = GetLastError();
  auto* buffer = static_cast<StringBuffer*>(TlsGetValue(bufferSlot));
  if (!buffer) buffer = MakeThreadBuffer();
  SetLastError(error);
  return buffer ? buffer : &emergencyBuffer;
}

// Room for length bytes and a terminator at mark; position = mark + length.
// On failure the position is mark, which holds "", and the result is null.
char* Reserve(StringBuffer* buffer, int32_t length, int32_t mark) {
  if (mark < 0) mark = buffer->position;
  if (length < 0) length = 0;
  int64_t end = static_cast<int64_t>(length) + (mark > buffer->position ? mark : buffer->position);
  if (end >= static_cast<int64_t>(buffer->capacity) - 4) {
    int64_t capacity = end + GrowthStep;
    char* base = nullptr;
    if (buffer->capacity > 0 && capacity + SpareBytes <= 0x7FFFFFFF)
      base = static_cast<char*>(
          HeapReAlloc(stringHeap, 0, buffer->base, static_cast<SIZE_T>(capacity + SpareBytes)));
    if (!base) {
      if (mark >= buffer->capacity) mark = buffer->capacity > 0 ? buffer->capacity - 1 : 0;
      buffer->position = mark;
      buffer->base[mark] = 0;
      return nullptr;
    }
    buffer->base = base;
    buffer->capacity = static_cast<int32_t>(capacity);
  }
  buffer->position = mark + length;
  return buffer->base + mark;
}

// Where a result failed to get room: the empty string at the position.
char* EmptyResult(StringBuffer* buffer) {
  buffer->base[buffer->position] = 0;
  return buffer->base + buffer->position;
}

int32_t InBuffer(const StringBuffer* buffer, const void* pointer) {
  auto* p = static_cast<const char*>(pointer);
  if (!p || p < buffer->base || p > buffer->base + buffer->position) return 0;
  return static_cast<int32_t>(p - buffer->base) + 1;
}

// Like InBuffer, but over the whole block: a source that lies above the
// position (a temporary already dropped but still read) must be re-derived
// after a move just the same.
int32_t InBlock(const StringBuffer* buffer, const void* pointer) {
  auto* p = static_cast<const char*>(pointer);
  if (!p || p < buffer->base || p >= buffer->base + buffer->capacity + SpareBytes) return 0;
  return static_cast<int32_t>(p - buffer->base) + 1;
}

int32_t Length(const char* text) { return text ? static_cast<int32_t>(std::strlen(text)) : 0; }

// A string argument that lies in the temporary buffer is copied out before a
// result is written over or near it.  A failed copy is reported by ok().
class StableArgument {
 public:
  StableArgument(const StringBuffer* buffer, const char* text) : text_(text ? text : "") {
    if (InBlock(buffer, text)) {
      copy_ = _strdup(text);
      text_ = copy_ ? copy_ : "";
      ok_ = copy_ != nullptr;
    }
  }
  ~StableArgument() { std::free(copy_); }
  StableArgument(const StableArgument&) = delete;
  StableArgument& operator=(const StableArgument&) = delete;
  const char* get() const { return text_; }
  bool ok() const { return ok_; }

 private:
  const char* text_;
  char* copy_ = nullptr;
  bool ok_ = true;
};

bool Matches(const char* at, const char* find, int32_t findLength, bool noCase) {
  if (noCase) return _strnicmp(at, find, findLength) == 0;
  return at[0] == find[0] && std::strncmp(at, find, findLength) == 0;
}

}  // namespace

// ---- the temporary buffer ----------------------------------------------

void StringRuntimeStart() {
  if (InterlockedCompareExchange(&startState, 1, 0) != 0) {
    while (startState != 2) Sleep(0);
    return;
  }
  stringHeap = HeapCreate(0, 4096, 0);
  if (!stringHeap) stringHeap = GetProcessHeap();
  bufferSlot = TlsAlloc();
  if (bufferSlot != TLS_OUT_OF_INDEXES) {
    // The first thread's buffer lives as long as the program.
    if (StringBuffer* buffer = MakeBuffer()) TlsSetValue(bufferSlot, buffer);
  }
  InterlockedExchange(&startState, 2);
}

void ThreadStringStart() {
  if (startState != 2) {
    StringRuntimeStart();
    return;
  }
  CurrentBuffer();
}

int32_t GetStringMark() { return CurrentBuffer()->position; }

void SetStringMark(int32_t mark) {
  StringBuffer* buffer = CurrentBuffer();
  if (mark < 0) mark = 0;
  if (mark > buffer->capacity) mark = buffer->capacity;
  buffer->position = mark;
}

char* AppendString(const char* text) {
  StringBuffer* buffer = CurrentBuffer();
  int32_t length = Length(text);
  int32_t offset = InBlock(buffer, text);
  char* room = Reserve(buffer, length, -1);
  if (!room) return EmptyResult(buffer);
  std::memmove(room, offset ? buffer->base + offset - 1 : text, length);
  room[length] = 0;
  return room;
}

void EndStringPiece() {
  StringBuffer* buffer = CurrentBuffer();
  if (buffer->position < buffer->capacity) buffer->position++;
}

char* GetStringBufferBase() { return CurrentBuffer()->base; }

char* SetMarkGetPointer(int32_t mark) {
  SetStringMark(mark);
  StringBuffer* buffer = CurrentBuffer();
  return buffer->base + buffer->position;
}

char* GetEndPointer() {
  StringBuffer* buffer = CurrentBuffer();
  return buffer->base + buffer->position;
}

int CompareStrings(const char* a, const char* b) {
  return std::strcmp(a ? a : "", b ? b : "") == 0 ? 1 : 0;
}

// ---- string variables --------------------------------------------------

void AssignFromBuffer(char** variable, int32_t mark) {
  StringBuffer* buffer = CurrentBuffer();
  if (mark < 0 || mark > buffer->position) mark = buffer->position;
  AssignString(variable, buffer->base + mark);
  buffer->position = mark;
}

void InitString(char** variable, const char* text) {
  if (!text) return;
  EnsureStarted();
  size_t length = std::strlen(text);
  auto* block = static_cast<char*>(HeapAlloc(stringHeap, 0, length + SpareBytes));
  if (block) std::memcpy(block, text, length + 1);
  *variable = block;
}

void AssignString(char** variable, const char* text) {
  EnsureStarted();
  char* old = *variable;
  if (!text) {
    FreeString(old);
    *variable = nullptr;
    return;
  }
  if (text == old) return;
  size_t length = std::strlen(text);
  char* block;
  // A text taken from the variable's own block (a part of it) must be copied
  // before that block is given back or moved.
  bool fromOwnBlock = old && text > old && text < old + HeapSize(stringHeap, 0, old);
  if (old && !fromOwnBlock) {
    block = static_cast<char*>(HeapReAlloc(stringHeap, 0, old, length + SpareBytes));
    if (!block) HeapFree(stringHeap, 0, old);
  } else {
    block = static_cast<char*>(HeapAlloc(stringHeap, 0, length + SpareBytes));
    if (block) std::memcpy(block, text, length + 1);
    FreeString(old);
    *variable = block;
    return;
  }
  if (block) std::memcpy(block, text, length + 1);
  *variable = block;
}

void FreeString(char* text) {
  if (text) HeapFree(stringHeap, 0, text);
}

// ---- for library operations --------------------------------------------

char* ReserveStringRoom(int32_t length, int32_t mark) {
  return Reserve(CurrentBuffer(), length, mark);
}

void ReturnStringRoom(int32_t n) {
  StringBuffer* buffer = CurrentBuffer();
  buffer->position -= n;
  if (buffer->position < 0) buffer->position = 0;
}

int32_t IsInStringBuffer(const void* pointer) { return InBuffer(CurrentBuffer(), pointer); }

int32_t IsInStringBlock(const void* pointer) { return InBlock(CurrentBuffer(), pointer); }

char* StringBufferPointer(int32_t offsetPlusOne) {
  return CurrentBuffer()->base + offsetPlusOne - 1;
}

char* ReturnString(const char* text, int32_t length, int32_t mark) {
  StringBuffer* buffer = CurrentBuffer();
  if (!text) length = 0;
  else if (length < 0) length = Length(text);
  int32_t offset = InBlock(buffer, text);
  char* room = Reserve(buffer, length, mark);
  if (!room) return EmptyResult(buffer);
  if (length) std::memmove(room, offset ? buffer->base + offset - 1 : text, length);
  room[length] = 0;
  return room;
}

void* StringHeap() {
  EnsureStarted();
  return stringHeap;
}

// ---- string operations -------------------------------------------------

char* QuadToString(int64_t value, int32_t mark) {
  // Digits of the magnitude, taken as unsigned, so that the smallest value
  // of 32 or 64 bits comes out right.
  char digits[24];
  int n = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  char text[24];
  int length = 0;
  if (value < 0) text[length++] = '-';
  while (n) text[length++] = digits[--n];
  return ReturnString(text, length, mark);
}

int64_t ValueOfString(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') p++;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int base = 10;
  if (*p == '$') {
    base = 16;
    p++;
  } else if (*p == '%') {
    base = 2;
    p++;
  }
  uint64_t value = 0;
  for (;; p++) {
    int digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (*p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
    else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else break;
    if (digit >= base) break;
    value = value * base + digit;  // wraps on overflow
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

char* FloatToString(float value, int32_t decimals, int32_t mark) {
  char format[16];
  if (decimals == -1) {
    std::strcpy(format, "%f");
  } else {
    if (decimals < 0) decimals = 0;
    if (decimals > 512) decimals = 512;
    std::snprintf(format, sizeof format, "%%.%df", static_cast<int>(decimals));
  }
  // The largest float has 39 integer digits; 512 decimals, sign and point fit.
  char text[640];
  int length = std::snprintf(text, sizeof text, format, static_cast<double>(value));
  if (length < 0) length = 0;
  if (length >= static_cast<int>(sizeof text)) length = sizeof text - 1;
  return ReturnString(text, length, mark);
}

int32_t StringLength(const char* text) { return Length(text); }

char* MidString(const char* text, int32_t start, int32_t length, int32_t mark) {
  int32_t total = Length(text);
  if (start < 1) start = 1;
  if (length < 0) length = 0;
  if (start > total) return ReturnString("", 0, mark);
  int32_t available = total - (start - 1);
  return ReturnString(text + start - 1, length < available ? length : available, mark);
}

char* LeftString(const char* text, int32_t count, int32_t mark) {
  int32_t total = Length(text);
  if (count < 0) count = 0;
  return ReturnString(text, count < total ? count : total, mark);
}

char* RightString(const char* text, int32_t count, int32_t mark) {
  int32_t total = Length(text);
  if (count < 0) count = 0;
  if (count > total) count = total;
  return ReturnString(text ? text + total - count : nullptr, count, mark);
}

char* LowerCaseString(const char* text, int32_t mark) {
  char* result = ReturnString(text, -1, mark);
  for (auto* p = reinterpret_cast<unsigned char*>(result); *p; p++) {
    if ((*p >= 'A' && *p <= 'Z') || (*p >= 0xC0 && *p <= 0xDE)) *p += 32;
  }
  return result;
}

int32_t FindString(const char* text, const char* find, int32_t start) {
  int32_t total = Length(text), findLength = Length(find);
  if (total == 0 || findLength == 0) return 0;
  if (start < 1) start = 1;
  if (start > total) return 0;
  for (int32_t i = start - 1; i + findLength <= total; i++) {
    if (text[i] == find[0] && std::memcmp(text + i, find, findLength) == 0) return i + 1;
  }
  return 0;
}

char* RemoveString(const char* text, const char* remove, int32_t flags, int32_t mark) {
  StringBuffer* buffer = CurrentBuffer();
  if (Length(remove) == 0) return ReturnString(text, -1, mark);
  StableArgument source(buffer, text), what(buffer, remove);
  if (!source.ok() || !what.ok()) return ReturnString("", 0, mark);
  const char* s = source.get();
  const char* r = what.get();
  int32_t total = Length(s), removeLength = Length(r);
  bool noCase = flags & NoCase;
  char* out = Reserve(buffer, total, mark);
  if (!out) return EmptyResult(buffer);
  int32_t n = 0;
  for (int32_t i = 0; i < total;) {
    if (i + removeLength <= total && Matches(s + i, r, removeLength, noCase)) {
      i += removeLength;
    } else {
      out[n++] = s[i++];
    }
  }
  out[n] = 0;
  ReturnStringRoom(total - n);
  return out;
}

char* ReplaceString(const char* text, const char* find, const char* replace, int32_t flags,
                    int32_t start, int32_t mark) {
  StringBuffer* buffer = CurrentBuffer();
  int32_t total = Length(text), findLength = Length(find), replaceLength = Length(replace);
  if (!replace) replace = "";
  bool noCase = flags & NoCase;
  if (start < 1) start = 1;
  if (findLength == 0 || start > total) return ReturnString(text, -1, mark);

  if (flags & InPlace) {
    // Only a replacement of the same length can be written over the text.
    if (replaceLength == findLength) {
      char* t = const_cast<char*>(text);
      for (int32_t i = start - 1; i + findLength <= total;) {
        if (Matches(t + i, find, findLength, noCase)) {
          std::memcpy(t + i, replace, replaceLength);
          i += findLength;
        } else {
          i++;
        }
      }
    }
    return ReturnString(text, total, mark);
  }

  StableArgument source(buffer, text), what(buffer, find), with(buffer, replace);
  if (!source.ok() || !what.ok() || !with.ok()) return ReturnString("", 0, mark);
  const char* s = source.get();
  const char* f = what.get();
  const char* r = with.get();

  int64_t count = 0;
  for (int32_t i = start - 1; i + findLength <= total;) {
    if (Matches(s + i, f, findLength, noCase)) {
      count++;
      i += findLength;
    } else {
      i++;
    }
  }
  int64_t length = total + (static_cast<int64_t>(replaceLength) - findLength) * count;
  if (length > 0x7FFF0000) return ReturnString("", 0, mark);
  char* out = Reserve(buffer, static_cast<int32_t>(length), mark);
  if (!out) return EmptyResult(buffer);
  std::memcpy(out, s, start - 1);
  int32_t n = start - 1;
  for (int32_t i = start - 1; i < total;) {
    if (i + findLength <= total && Matches(s + i, f, findLength, noCase)) {
      std::memcpy(out + n, r, replaceLength);
      n += replaceLength;
      i += findLength;
    } else {
      out[n++] = s[i++];
    }
  }
  out[n] = 0;
  return out;
}

namespace {
void CheckSpace(int32_t count) {
  if (count < 0) ReportError("NegativeLength");
}
}  // namespace

char* Space(int32_t count, int32_t mark) {
  CheckSpace(count);
  if (count < 0) count = 0;
  StringBuffer* buffer = CurrentBuffer();
  char* out = Reserve(buffer, count, mark);
  if (!out) return EmptyResult(buffer);
  std::memset(out, ' ', count);
  out[count] = 0;
  return out;
}

int32_t MemoryTextLength(const void* address) {
  return address ? static_cast<int32_t>(std::strlen(static_cast<const char*>(address))) : 0;
}

}  // namespace kx
