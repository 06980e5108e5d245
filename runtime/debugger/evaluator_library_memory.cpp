// The memory functions of expressions: each checks that the memory it
// reads is readable before it reads it.
#include <windows.h>

#include <cstring>
#include <type_traits>

#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/debugger/evaluator_library.h"

namespace kx {
namespace evaluator {

namespace {

constexpr char MemoryBuffer[] = "*MemoryBuffer";

bool CheckMemory(State& state, const void* address, size_t size, const char* argument) {
  if (Readable(address, size)) return true;
  return FailText(state, "InvalidMemory", argument);
}

bool CheckText(State& state, const void* address, const char* argument) {
  size_t length;
  if (ReadableText(static_cast<const char*>(address), &length)) return true;
  return FailText(state, "InvalidStringMemory", argument);
}


template <typename T>
bool Peek(State& state, Value* a, int, Value& out) {
  const void* address = Address(a[0]);
  if (!CheckMemory(state, address, sizeof(T), MemoryBuffer)) return false;
  T value;
  std::memcpy(&value, address, sizeof value);
  out.Release();
  if constexpr (std::is_floating_point_v<T>) {
    out.kind = ValueFloat;
    out.number = double(value);
  } else {
    out.integer = int64_t(value);
  }
  return true;
}

}  // namespace

bool PeekB(State& s, Value* a, int n, Value& out) { return Peek<int8_t>(s, a, n, out); }
bool PeekC(State& s, Value* a, int n, Value& out) { return Peek<uint8_t>(s, a, n, out); }
bool PeekD(State& s, Value* a, int n, Value& out) { return Peek<double>(s, a, n, out); }
bool PeekF(State& s, Value* a, int n, Value& out) { return Peek<float>(s, a, n, out); }
bool PeekI(State& s, Value* a, int n, Value& out) { return Peek<intptr_t>(s, a, n, out); }
bool PeekL(State& s, Value* a, int n, Value& out) { return Peek<int32_t>(s, a, n, out); }
bool PeekQ(State& s, Value* a, int n, Value& out) { return Peek<int64_t>(s, a, n, out); }
bool PeekW(State& s, Value* a, int n, Value& out) { return Peek<int16_t>(s, a, n, out); }

bool PeekS(State& state, Value* a, int count, Value& out) {
  const char* address = static_cast<const char*>(Address(a[0]));
  int32_t length = count > 1 ? Integer32(a[1]) : -1;
  int32_t format = count > 2 ? Integer32(a[2]) : 0;
  if (length < -1) length = 0;
  // The units the runtime will read: up to a zero unit, at most length;
  // the memory is asked about once per readable region.
  size_t unit = format == FormatUtf16 ? 2 : 1;
  const char* readableEnd = address;
  for (size_t units = 0;; ++units) {
    if (length >= 0 && units >= size_t(length)) break;
    if (units > size_t(MaxTextLength)) return Fail(state, "NoMemory");
    const char* at = address + units * unit;
    if (at + unit > readableEnd) {
      readableEnd = ReadableEnd(at);
      if (at + unit > readableEnd) return FailText(state, "InvalidStringMemory", MemoryBuffer);
    }
    if (at[0] == 0 && (unit == 1 || at[1] == 0)) break;
  }
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark, PeekText(address, length, format, mark));
}

bool CompareMemoryOf(State& state, Value* a, int, Value& out) {
  const void* first = Address(a[0]);
  const void* second = Address(a[1]);
  int64_t length = Integer(a[2]);
  if (length <= 0) return SetInteger(out, 1);
  if (!CheckMemory(state, first, size_t(length), "*MemoryID1")) return false;
  if (!CheckMemory(state, second, size_t(length), "*MemoryID2")) return false;
  return SetInteger(out, std::memcmp(first, second, size_t(length)) == 0 ? 1 : 0);
}

// -1, 0 or 1 as the first text sorts before, equal to or after the second;
// mode 1 without regard to case; length -1 = the whole texts.
bool CompareMemoryStringOf(State& state, Value* a, int count, Value& out) {
  const unsigned char* first = static_cast<const unsigned char*>(Address(a[0]));
  const unsigned char* second = static_cast<const unsigned char*>(Address(a[1]));
  bool noCase = count > 2 && Integer(a[2]) == 1;
  int64_t length = count > 3 ? Integer(a[3]) : -1;
  if (!CheckText(state, first, "*String1") || !CheckText(state, second, "*String2")) return false;
  for (int64_t i = 0; length < 0 || i < length; ++i) {
    unsigned char x = first[i], y = second[i];
    if (noCase) {
      if (x >= 'A' && x <= 'Z') x += 32;
      if (y >= 'A' && y <= 'Z') y += 32;
    }
    if (x != y) return SetInteger(out, x < y ? -1 : 1);
    if (x == 0) break;
  }
  return SetInteger(out, 0);
}

bool MemorySizeOf(State& state, Value* a, int, Value& out) {
  void* block = const_cast<void*>(Address(a[0]));
  HANDLE heap = MemoryHeap();
  if (!block || !heap || !HeapValidate(heap, 0, block)) return FailText(state, "InvalidMemory", "*MemoryID");
  return SetInteger(out, int64_t(HeapSize(heap, 0, block)));
}

bool MemoryStringLengthOf(State& state, Value* a, int, Value& out) {
  size_t length = 0;
  if (!ReadableText(static_cast<const char*>(Address(a[0])), &length)) {
    return FailText(state, "InvalidStringMemory", "*String");
  }
  return SetInteger(out, int64_t(length));
}
}  // namespace evaluator
}  // namespace kx
