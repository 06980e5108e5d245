// The library functions an expression may call: each behaves as the runtime
// command of the same name, reads memory only after checking that it is
// readable, and never reports through the debugger (the program is stopped
// while an expression is evaluated).
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace evaluator {

namespace {

constexpr int MaxArguments = 5;

using Handler = bool (*)(State& state, Value* args, int count, Value& out);

struct Function {
  const char* name;
  uint8_t least;           // arguments needed
  uint8_t most;            // arguments allowed
  const char* types;       // per argument: 'n' number, 's' string
  bool pure;               // the result is literal when the arguments are
  Handler handler;
};

// ---- argument helpers ----

double Number(const Value& v) { return AsDouble(v); }
int64_t Integer(const Value& v) { return AsInteger(v); }
int32_t Integer32(const Value& v) {
  int64_t n = AsInteger(v);
  return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : int32_t(n);
}
const char* Text(const Value& v) { return v.text ? v.text : ""; }
int32_t TextLength(const Value& v) { return int32_t(std::strlen(Text(v))); }
const void* Address(const Value& v) { return reinterpret_cast<const void*>(intptr_t(AsInteger(v))); }

bool SetFloat(Value& out, double value) {
  out.Release();
  out.kind = ValueFloat;
  out.number = value;
  return true;
}

bool SetInteger(Value& out, int64_t value) {
  out.Release();
  out.integer = value;
  return true;
}

// A result the runtime built at mark in the thread's temporary buffer:
// copied, and the buffer given back.
bool FromBuffer(State& state, Value& out, int32_t mark, const char* result) {
  bool ok = MakeString(state, out, result ? result : "", result ? int32_t(std::strlen(result)) : 0);
  SetStringMark(mark);
  return ok;
}

bool CheckMemory(State& state, const void* address, size_t size, const char* argument) {
  if (Readable(address, size)) return true;
  return FailText(state, "InvalidMemory", argument);
}

bool CheckText(State& state, const void* address, const char* argument) {
  size_t length;
  if (ReadableText(static_cast<const char*>(address), &length)) return true;
  return FailText(state, "InvalidStringMemory", argument);
}

// ---- mathematics ----

template <double (*F)(double)>
bool Math(State&, Value* a, int, Value& out) { return SetFloat(out, F(Number(a[0]))); }

double AbsOf(double x) { return std::fabs(x); }
double SquareRoot(double x) { return std::sqrt(x); }

bool IntOf(State&, Value* a, int, Value& out) {
  return SetInteger(out, a[0].kind == ValueFloat ? DoubleToInteger(a[0].number) : a[0].integer);
}

bool PowOf(State&, Value* a, int, Value& out) { return SetFloat(out, std::pow(Number(a[0]), Number(a[1]))); }

// Mode 0 rounds down, 1 up, 2 to the nearest (halves away from zero).
bool RoundOf(State&, Value* a, int, Value& out) {
  double x = Number(a[0]);
  switch (Integer(a[1])) {
    case 1: return SetFloat(out, std::ceil(x));
    case 2: return SetFloat(out, std::round(x));
  }
  return SetFloat(out, std::floor(x));
}

// ---- memory ----

template <typename T, const char* Argument>
bool Peek(State& state, Value* a, int, Value& out) {
  const void* address = Address(a[0]);
  if (!CheckMemory(state, address, sizeof(T), Argument)) return false;
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

constexpr char MemoryBuffer[] = "*MemoryBuffer";

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

// ---- strings ----

bool AscOf(State&, Value* a, int, Value& out) { return SetInteger(out, static_cast<unsigned char>(Text(a[0])[0])); }

// Digits of the value as unsigned 64 bits in base 2 or 16.
bool Digits(State& state, Value& out, uint64_t value, int bits) {
  char text[72];
  int n = 0;
  do {
    text[n++] = "0123456789ABCDEF"[value & ((1u << bits) - 1)];
    value >>= bits;
  } while (value);
  char reversed[72];
  for (int i = 0; i < n; ++i) reversed[i] = text[n - 1 - i];
  return MakeString(state, out, reversed, n);
}

bool BinOf(State& state, Value* a, int, Value& out) { return Digits(state, out, uint64_t(Integer(a[0])), 1); }
bool HexOf(State& state, Value* a, int, Value& out) { return Digits(state, out, uint64_t(Integer(a[0])), 4); }

bool ChrOf(State& state, Value* a, int, Value& out) {
  char c = char(Integer(a[0]) & 0xFF);
  return MakeString(state, out, &c, c ? 1 : 0);
}

bool CaseOf(State& state, Value& out, const Value& text, bool upper) {
  if (!MakeString(state, out, Text(text), TextLength(text))) return false;
  for (auto* p = reinterpret_cast<unsigned char*>(out.text); *p; ++p) {
    if (upper) {
      if ((*p >= 'a' && *p <= 'z') || (*p >= 0xE0 && *p <= 0xFE)) *p -= 32;
    } else if ((*p >= 'A' && *p <= 'Z') || (*p >= 0xC0 && *p <= 0xDE)) {
      *p += 32;
    }
  }
  return true;
}
bool LCaseOf(State& state, Value* a, int, Value& out) { return CaseOf(state, out, a[0], false); }
bool UCaseOf(State& state, Value* a, int, Value& out) { return CaseOf(state, out, a[0], true); }

// The text cut or padded to length: LSet pads on the right, RSet on the left.
bool SetLength(State& state, Value* a, int count, Value& out, bool right) {
  int64_t length = Integer(a[1]);
  if (length < 0) length = 0;
  if (length > MaxTextLength) return Fail(state, "NoMemory");
  char pad = count > 2 ? Text(a[2])[0] : ' ';
  if (!pad) pad = ' ';
  int32_t have = TextLength(a[0]);
  char* text = NewTextRoom(int32_t(length));
  if (!text) return Fail(state, "NoMemory");
  int32_t n = int32_t(length);
  if (have >= n) {
    std::memcpy(text, right ? Text(a[0]) + have - n : Text(a[0]), size_t(n));
  } else if (right) {
    std::memset(text, pad, size_t(n - have));
    std::memcpy(text + n - have, Text(a[0]), size_t(have));
  } else {
    std::memcpy(text, Text(a[0]), size_t(have));
    std::memset(text + have, pad, size_t(n - have));
  }
  return TakeString(state, out, text);
}
bool LSetOf(State& state, Value* a, int count, Value& out) { return SetLength(state, a, count, out, false); }
bool RSetOf(State& state, Value* a, int count, Value& out) { return SetLength(state, a, count, out, true); }

// Blanks (or the given character) taken from the left and/or right end.
bool TrimOf(State& state, Value* a, int count, Value& out, bool left, bool right) {
  char what = count > 1 ? Text(a[1])[0] : ' ';
  const char* text = Text(a[0]);
  int32_t start = 0, end = TextLength(a[0]);
  if (what) {
    while (left && start < end && text[start] == what) ++start;
    while (right && end > start && text[end - 1] == what) --end;
  }
  return MakeString(state, out, text + start, end - start);
}
bool LTrimOf(State& state, Value* a, int count, Value& out) { return TrimOf(state, a, count, out, true, false); }
bool RTrimOf(State& state, Value* a, int count, Value& out) { return TrimOf(state, a, count, out, false, true); }
bool TrimBoth(State& state, Value* a, int count, Value& out) { return TrimOf(state, a, count, out, true, true); }

bool LeftOf(State& state, Value* a, int, Value& out) {
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark, LeftString(Text(a[0]), Integer32(a[1]), mark));
}

bool RightOf(State& state, Value* a, int, Value& out) {
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark, RightString(Text(a[0]), Integer32(a[1]), mark));
}

bool MidOf(State& state, Value* a, int count, Value& out) {
  int32_t length = count > 2 ? Integer32(a[2]) : INT32_MAX;
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark, MidString(Text(a[0]), Integer32(a[1]), length, mark));
}

bool LenOf(State&, Value* a, int, Value& out) { return SetInteger(out, TextLength(a[0])); }

bool SpaceOf(State& state, Value* a, int, Value& out) {
  int64_t count = Integer(a[0]);
  if (count < 0) count = 0;
  if (count > MaxTextLength) return Fail(state, "NoMemory");
  char* text = NewTextRoom(int32_t(count));
  if (!text) return Fail(state, "NoMemory");
  std::memset(text, ' ', size_t(count));
  return TakeString(state, out, text);
}

bool StrOf(State& state, Value* a, int, Value& out) {
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark, QuadToString(Integer(a[0]), mark));
}

// "%f", or fixed with the given decimals (at most 512).
bool Decimals(State& state, Value& out, double value, int count, const Value* decimals) {
  int32_t places = count > 1 ? Integer32(*decimals) : -1;
  char format[16];
  if (places == -1) {
    std::strcpy(format, "%f");
  } else {
    if (places < 0) places = 0;
    if (places > 512) places = 512;
    std::snprintf(format, sizeof format, "%%.%df", int(places));
  }
  char text[900];
  int length = std::snprintf(text, sizeof text, format, value);
  if (length < 0) length = 0;
  if (length >= int(sizeof text)) length = int(sizeof text) - 1;
  return MakeString(state, out, text, length);
}

bool StrDOf(State& state, Value* a, int count, Value& out) { return Decimals(state, out, Number(a[0]), count, &a[1]); }

bool StrFOf(State& state, Value* a, int count, Value& out) {
  int32_t mark = GetStringMark();
  int32_t decimals = count > 1 ? Integer32(a[1]) : -1;
  return FromBuffer(state, out, mark, FloatToString(float(Number(a[0])), decimals, mark));
}

// The value as unsigned of the given type code (Byte, Word, Long, Quad).
bool StrUOf(State& state, Value* a, int count, Value& out) {
  uint64_t value = uint64_t(Integer(a[0]));
  switch (count > 1 ? Integer(a[1]) : TypeQuad) {
    case TypeByte: value &= 0xFF; break;
    case TypeWord: value &= 0xFFFF; break;
    case TypeLong: value &= 0xFFFFFFFFu; break;
  }
  char text[24];
  int length = std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
  return MakeString(state, out, text, length);
}

bool ValOf(State&, Value* a, int, Value& out) { return SetInteger(out, ValueOfString(Text(a[0]))); }

bool ValDOf(State&, Value* a, int, Value& out) { return SetFloat(out, std::strtod(Text(a[0]), nullptr)); }

bool ValFOf(State&, Value* a, int, Value& out) {
  return SetFloat(out, double(float(std::strtod(Text(a[0]), nullptr))));
}

bool CountStringOf(State&, Value* a, int, Value& out) {
  const char* text = Text(a[0]);
  int32_t findLength = TextLength(a[1]);
  int64_t found = 0;
  if (findLength > 0) {
    for (const char* p = std::strstr(text, Text(a[1])); p; p = std::strstr(p + findLength, Text(a[1]))) ++found;
  }
  return SetInteger(out, found);
}

bool FindStringOf(State&, Value* a, int count, Value& out) {
  return SetInteger(out, FindString(Text(a[0]), Text(a[1]), count > 2 ? Integer32(a[2]) : 1));
}

bool RemoveStringOf(State& state, Value* a, int count, Value& out) {
  int32_t flags = count > 2 && Integer(a[2]) == 1 ? NoCase : 0;
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark, RemoveString(Text(a[0]), Text(a[1]), flags, mark));
}

// Mode 1 compares without regard to case; mode 2 (in place) would change
// the program's memory and is refused.
bool ReplaceStringOf(State& state, Value* a, int count, Value& out) {
  int64_t mode = count > 3 ? Integer(a[3]) : 0;
  if (mode == 2) return Fail(state, "NoReplaceMode");
  int32_t start = count > 4 ? Integer32(a[4]) : 1;
  int64_t total = TextLength(a[0]), find = TextLength(a[1]), replace = TextLength(a[2]);
  if (find > 0 && replace > find && total + (replace - find) * (total / find) > MaxTextLength) {
    return Fail(state, "NoMemory");
  }
  int32_t mark = GetStringMark();
  return FromBuffer(state, out, mark,
                    ReplaceString(Text(a[0]), Text(a[1]), Text(a[2]), mode == 1 ? NoCase : 0, start, mark));
}

// Bytes of the text in the format (1 UTF-16, 2 UTF-8, else one per character).
bool StringByteLengthOf(State&, Value* a, int count, Value& out) {
  int32_t format = count > 1 ? Integer32(a[1]) : 0;
  int32_t length = TextLength(a[0]);
  if (format == FormatUtf16) return SetInteger(out, int64_t(length) * 2);
  if (format == FormatUtf8) return SetInteger(out, Latin1ToUtf8(Text(a[0]), length, nullptr, 0));
  return SetInteger(out, length);
}

// Field index (from 1) of the text cut at each delimiter; "" past the last.
bool StringFieldOf(State& state, Value* a, int, Value& out) {
  const char* text = Text(a[0]);
  const char* delimiter = Text(a[2]);
  int64_t index = Integer(a[1]);
  size_t delimiterLength = std::strlen(delimiter);
  if (index < 1) return MakeString(state, out, "", 0);
  const char* start = text;
  for (int64_t i = 1; i < index; ++i) {
    const char* next = delimiterLength ? std::strstr(start, delimiter) : nullptr;
    if (!next) return MakeString(state, out, "", 0);
    start = next + delimiterLength;
  }
  const char* end = delimiterLength ? std::strstr(start, delimiter) : nullptr;
  return MakeString(state, out, start, int32_t(end ? end - start : std::strlen(start)));
}

constexpr char String[] = "*String";

const Function Functions[] = {
    {"ACos", 1, 1, "n", true, Math<std::acos>},
    {"ASin", 1, 1, "n", true, Math<std::asin>},
    {"ATan", 1, 1, "n", true, Math<std::atan>},
    {"Abs", 1, 1, "n", true, Math<AbsOf>},
    {"Asc", 1, 1, "s", true, AscOf},
    {"Bin", 1, 1, "n", true, BinOf},
    {"Chr", 1, 1, "n", true, ChrOf},
    {"CompareMemory", 3, 3, "nnn", false, CompareMemoryOf},
    {"CompareMemoryString", 2, 4, "nnnn", false, CompareMemoryStringOf},
    {"Cos", 1, 1, "n", true, Math<std::cos>},
    {"CountString", 2, 2, "ss", true, CountStringOf},
    {"FindString", 2, 3, "ssn", true, FindStringOf},
    {"Hex", 1, 1, "n", true, HexOf},
    {"Int", 1, 1, "n", true, IntOf},
    {"LCase", 1, 1, "s", true, LCaseOf},
    {"Left", 2, 2, "sn", true, LeftOf},
    {"Len", 1, 1, "s", true, LenOf},
    {"Log", 1, 1, "n", true, Math<std::log>},
    {"Log10", 1, 1, "n", true, Math<std::log10>},
    {"LSet", 2, 3, "sns", true, LSetOf},
    {"LTrim", 1, 2, "ss", true, LTrimOf},
    {"MemorySize", 1, 1, "n", false, MemorySizeOf},
    {"MemoryStringLength", 1, 1, "n", false, MemoryStringLengthOf},
    {"Mid", 2, 3, "snn", true, MidOf},
    {"PeekB", 1, 1, "n", false, Peek<int8_t, MemoryBuffer>},
    {"PeekC", 1, 1, "n", false, Peek<uint8_t, MemoryBuffer>},
    {"PeekD", 1, 1, "n", false, Peek<double, MemoryBuffer>},
    {"PeekF", 1, 1, "n", false, Peek<float, MemoryBuffer>},
    {"PeekI", 1, 1, "n", false, Peek<intptr_t, MemoryBuffer>},
    {"PeekL", 1, 1, "n", false, Peek<int32_t, MemoryBuffer>},
    {"PeekQ", 1, 1, "n", false, Peek<int64_t, MemoryBuffer>},
    {"PeekS", 1, 3, "nnn", false, PeekS},
    {"PeekW", 1, 1, "n", false, Peek<int16_t, MemoryBuffer>},
    {"Pow", 2, 2, "nn", true, PowOf},
    {"RemoveString", 2, 3, "ssn", true, RemoveStringOf},
    {"ReplaceString", 3, 5, "sssnn", true, ReplaceStringOf},
    {"Right", 2, 2, "sn", true, RightOf},
    {"Round", 2, 2, "nn", true, RoundOf},
    {"RSet", 2, 3, "sns", true, RSetOf},
    {"RTrim", 1, 2, "ss", true, RTrimOf},
    {"Sin", 1, 1, "n", true, Math<std::sin>},
    {"Space", 1, 1, "n", true, SpaceOf},
    {"Sqr", 1, 1, "n", true, Math<SquareRoot>},
    {"Str", 1, 1, "n", true, StrOf},
    {"StrD", 1, 2, "nn", true, StrDOf},
    {"StrF", 1, 2, "nn", true, StrFOf},
    {"StringByteLength", 1, 2, "sn", true, StringByteLengthOf},
    {"StringField", 3, 3, "sns", true, StringFieldOf},
    {"StrU", 1, 2, "nn", true, StrUOf},
    {"Tan", 1, 1, "n", true, Math<std::tan>},
    {"Trim", 1, 2, "ss", true, TrimBoth},
    {"UCase", 1, 1, "s", true, UCaseOf},
    {"Val", 1, 1, "s", true, ValOf},
    {"ValD", 1, 1, "s", true, ValDOf},
    {"ValF", 1, 1, "s", true, ValFOf},
};
static_assert(sizeof Functions / sizeof Functions[0] == 55);

bool IsNamed(const char* name, int32_t length, const char* entry) {
  for (int32_t i = 0; i < length; ++i) {
    char a = name[i], b = entry[i];
    if (a >= 'A' && a <= 'Z') a = char(a + 32);
    if (b >= 'A' && b <= 'Z') b = char(b + 32);
    if (a != b) return false;
  }
  return entry[length] == 0;
}

const Function* FindFunction(const char* name, int32_t length) {
  for (const Function& function : Functions) {
    if (IsNamed(name, length, function.name)) return &function;
  }
  return nullptr;
}

}  // namespace

bool IsLibraryFunction(const char* name, int32_t length) { return FindFunction(name, length) != nullptr; }

bool CallFunction(State& state, Value& out) {
  const Function* function = FindFunction(state.Name(), state.nameLength);
  if (!function) return Fail(state, "UnexpectedCall");
  if (++state.depth > MaxNesting) return Fail(state, "NoMemory");
  Next(state);   // the name
  Next(state);   // "("
  Value args[MaxArguments];
  int count = 0;
  bool literal = true;
  if (state.token != TokenRParen) {
    for (;;) {
      if (state.token == TokenFailed) return false;
      if (count == function->most) return Fail(state, "TooManyArguments");
      Value& arg = args[count];
      if (!Expression(state, arg)) return false;
      if (function->types[count] == 's' && arg.kind != ValueString) return Fail(state, "StringExpected");
      if (function->types[count] == 'n' && arg.kind != ValueInteger && arg.kind != ValueFloat) {
        return Fail(state, "NumberExpected");
      }
      literal = literal && arg.literal;
      ++count;
      if (state.token == TokenComma) {
        Next(state);
        continue;
      }
      if (state.token == TokenRParen) break;
      if (state.token == TokenFailed) return false;
      return Fail(state, "MissingFunctionParen");
    }
  }
  if (count < function->least) return Fail(state, "TooFewArguments");
  Next(state);   // ")"
  --state.depth;
  if (state.failed) return false;
  if (!function->handler(state, args, count, out)) return false;
  out.literal = function->pure && literal;
  return true;
}

}  // namespace evaluator
}  // namespace kx
