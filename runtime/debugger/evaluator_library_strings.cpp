// The string functions of expressions, on the evaluator's own texts; where
// the runtime has the command, its result (built in the thread's temporary
// buffer) is copied, so both behave alike.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/memory.h"
#include "runtime/core/strings.h"
#include "runtime/debugger/evaluator_library.h"

namespace kx {
namespace evaluator {

namespace {

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

}  // namespace

bool FromBuffer(State& state, Value& out, int32_t mark, const char* result) {
  bool ok = MakeString(state, out, result ? result : "", result ? int32_t(std::strlen(result)) : 0);
  SetStringMark(mark);
  return ok;
}


bool AscOf(State&, Value* a, int, Value& out) { return SetInteger(out, static_cast<unsigned char>(Text(a[0])[0])); }

bool BinOf(State& state, Value* a, int, Value& out) { return Digits(state, out, uint64_t(Integer(a[0])), 1); }
bool HexOf(State& state, Value* a, int, Value& out) { return Digits(state, out, uint64_t(Integer(a[0])), 4); }

bool ChrOf(State& state, Value* a, int, Value& out) {
  char c = char(Integer(a[0]) & 0xFF);
  return MakeString(state, out, &c, c ? 1 : 0);
}

bool LCaseOf(State& state, Value* a, int, Value& out) { return CaseOf(state, out, a[0], false); }
bool UCaseOf(State& state, Value* a, int, Value& out) { return CaseOf(state, out, a[0], true); }

bool LSetOf(State& state, Value* a, int count, Value& out) { return SetLength(state, a, count, out, false); }
bool RSetOf(State& state, Value* a, int count, Value& out) { return SetLength(state, a, count, out, true); }

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

}  // namespace evaluator
}  // namespace kx
