// The evaluator's tokenizer: operators, literals of every form and
// identifiers, read from the input one token at a time.
#include <windows.h>

#include <cmath>
#include <cstring>

#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace evaluator {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordCharacter(char c) { return IsLetter(c) || IsDigit(c); }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void Failed(State& state) { state.token = TokenFailed; }

void SkipBlanks(const char* s, int32_t& p) {
  while (s[p] == ' ' || s[p] == '\t') ++p;
}

// "name", "name$", then optionally blanks, "." and a type letter or word.
void ReadIdentifier(State& state, bool pointer) {
  const char* s = state.input;
  int32_t p = state.position;
  state.nameStart = p;
  while (IsWordCharacter(s[p])) ++p;
  if (s[p] == '$') ++p;
  state.nameLength = p - state.nameStart;
  int32_t q = p;
  SkipBlanks(s, q);
  if (s[q] == '.' && IsLetter(s[q + 1])) {
    q += 1;
    while (IsWordCharacter(s[q])) ++q;
    p = q;
  }
  state.position = p;
  state.pointer = pointer;
  state.token = TokenIdentifier;
}

// Digits, then "." and digits and/or an exponent make a float.
void ReadDecimal(State& state) {
  const char* s = state.input;
  int32_t p = state.position;
  uint64_t integer = 0;
  double mantissa = 0;
  while (IsDigit(s[p])) {
    integer = integer * 10 + uint64_t(s[p] - '0');
    mantissa = mantissa * 10 + (s[p] - '0');
    ++p;
  }
  if (s[p] != '.' && s[p] != 'e' && s[p] != 'E') {
    state.integer = int64_t(integer);
    state.token = TokenInteger;
    state.position = p;
    return;
  }
  int32_t fraction = 0;
  if (s[p] == '.') {
    ++p;
    if (!IsDigit(s[p])) {
      Fail(state, "TokenDecimal");
      return Failed(state);
    }
    while (IsDigit(s[p])) {
      mantissa = mantissa * 10 + (s[p] - '0');
      ++fraction;
      ++p;
    }
  }
  int64_t exponent = 0;
  if (s[p] == 'e' || s[p] == 'E') {
    ++p;
    bool negative = false;
    if (s[p] == '+' || s[p] == '-') negative = s[p++] == '-';
    if (!IsDigit(s[p])) {
      Fail(state, "TokenDecimal");
      return Failed(state);
    }
    while (IsDigit(s[p])) {
      if (exponent < 100000) exponent = exponent * 10 + (s[p] - '0');
      ++p;
    }
    if (negative) exponent = -exponent;
  }
  // mantissa x 10^(exponent - fraction digits); a division by an exact power
  // of ten keeps short fractions exact to the last bit.
  int64_t scale = exponent - fraction;
  double value = mantissa;
  if (scale < 0) {
    int64_t down = -scale;
    while (down > 300) {
      value /= 1e300;
      down -= 300;
    }
    value /= std::pow(10.0, double(down));
  } else {
    int64_t up = scale;
    while (up > 300 && value != 0 && std::isfinite(value)) {
      value *= 1e300;
      up -= 300;
    }
    if (value != 0 && std::isfinite(value)) value *= std::pow(10.0, double(up > 300 ? 300 : up));
  }
  state.number = value;
  state.token = TokenFloat;
  state.position = p;
}

// "$" and hexadecimal digits, or "%" and binary digits.
void ReadRadix(State& state, int bits, const char* malformedKey) {
  const char* s = state.input;
  int32_t p = state.position + 1;
  uint64_t value = 0;
  int digit;
  while ((digit = HexDigit(s[p])) >= 0 && digit < (1 << bits)) {
    value = (value << bits) | uint64_t(digit);
    ++p;
  }
  if (IsWordCharacter(s[p])) {
    Fail(state, malformedKey);
    return Failed(state);
  }
  state.integer = int64_t(value);
  state.token = TokenInteger;
  state.position = p;
}

// One character of UTF-8 text (two- and three-byte sequences), else the byte.
uint32_t ReadUtf8(const char* s, int32_t& p) {
  unsigned char c = static_cast<unsigned char>(s[p]);
  auto continuation = [&](int i) { return (static_cast<unsigned char>(s[p + i]) & 0xC0) == 0x80; };
  if ((c & 0xE0) == 0xC0 && continuation(1)) {
    uint32_t code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[p + 1]) & 0x3Fu);
    p += 2;
    return code;
  }
  if ((c & 0xF0) == 0xE0 && continuation(1) && continuation(2)) {
    uint32_t code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[p + 1]) & 0x3Fu) << 6) |
                    (static_cast<unsigned char>(s[p + 2]) & 0x3Fu);
    p += 3;
    return code;
  }
  p += 1;
  return c;
}

// A character beyond Latin-1 in the ANSI code page ("?" when it has none).
char AnsiCharacter(uint32_t code) {
  if (code <= 0xFF) return char(code);
  wchar_t wide = wchar_t(code);
  char ansi = '?';
  WideCharToMultiByte(CP_ACP, 0, &wide, 1, &ansi, 1, nullptr, nullptr);
  return ansi;
}

void ReadCharacter(State& state) {
  const char* s = state.input;
  int32_t p = state.position + 1;
  uint64_t value = 0;
  while (s[p] && s[p] != '\'') value = (value << 8) | static_cast<unsigned char>(AnsiCharacter(ReadUtf8(s, p)));
  if (s[p] != '\'') {
    Fail(state, "TokenCharacter");
    return Failed(state);
  }
  state.integer = int64_t(value);
  state.token = TokenInteger;
  state.position = p + 1;
}

// Text between double quotes, no escapes, read as UTF-8 into the program's
// character set (Latin-1 directly, other characters through the ANSI code
// page); a text that is not valid UTF-8 is taken byte for byte.
int32_t FromUtf8(const char* in, int32_t length, char* out) {
  int32_t n = 0;
  for (int32_t p = 0; p < length;) {
    unsigned char c = static_cast<unsigned char>(in[p]);
    if (c < 0x80) {
      out[n++] = char(c);
      ++p;
      continue;
    }
    int32_t before = p;
    uint32_t code = ReadUtf8(in, p);
    if (p == before + 1 || p > length || code < 0x80) return -1;   // not a sequence
    out[n++] = AnsiCharacter(code);
  }
  return n;
}

void ReadString(State& state) {
  const char* s = state.input;
  int32_t start = state.position + 1;
  const char* end = std::strchr(s + start, '"');
  if (!end) {
    Fail(state, "TokenString");
    return Failed(state);
  }
  int32_t length = int32_t(end - (s + start));
  char* text = NewTextRoom(length);
  if (!text) {
    Fail(state, "NoMemory");
    return Failed(state);
  }
  int32_t written = FromUtf8(s + start, length, text);
  if (written < 0) {
    std::memcpy(text, s + start, size_t(length));
    written = length;
  }
  text[written] = 0;
  FreeText(state.text);
  state.text = text;
  state.token = TokenString;
  state.position = start + length + 1;
}

}  // namespace

void Begin(State& state, const char* input) {
  state.input = input ? input : "";
  state.position = 0;
  state.afterValue = false;
  state.failed = false;
  state.message[0] = 0;
  state.depth = 0;
  Next(state);
}

char PeekCharacter(const State& state) {
  int32_t p = state.position;
  SkipBlanks(state.input, p);
  return state.input[p];
}

void Next(State& state) {
  if (state.failed) return Failed(state);
  const char* s = state.input;
  SkipBlanks(s, state.position);
  state.tokenStart = state.position;
  state.pointer = false;
  char c = s[state.position];
  char following = c ? s[state.position + 1] : 0;
  int32_t single = -1;
  switch (c) {
    case 0: single = TokenEnd; break;
    case '+': single = TokenPlus; break;
    case '-': single = TokenMinus; break;
    case '/': single = TokenDivide; break;
    case '|': single = TokenOr; break;
    case '&': single = TokenAnd; break;
    case '!': single = TokenXor; break;
    case '~': single = TokenNot; break;
    case '(': single = TokenLParen; break;
    case ')': single = TokenRParen; break;
    case '[': single = TokenLBracket; break;
    case ']': single = TokenRBracket; break;
    case ',': single = TokenComma; break;
    case '\\': single = TokenField; break;
    case '@': single = TokenAddress; break;
    case '#': single = TokenConstant; break;
    case '?': single = TokenLabel; break;
    case '*':
      if (!state.afterValue && IsLetter(following)) {
        state.position += 1;
        ReadIdentifier(state, true);
      } else {
        single = TokenTimes;
      }
      break;
    case '<':
    case '>':
      if (following != c) {
        Fail(state, c == '<' ? "Token<" : "Token>");
        return Failed(state);
      }
      state.token = c == '<' ? TokenShiftLeft : TokenShiftRight;
      state.position += 2;
      break;
    case '%':
      if (following == '0' || following == '1') ReadRadix(state, 1, "TokenBinary");
      else single = TokenModulo;
      break;
    case '$':
      if (HexDigit(following) < 0) {
        Fail(state, "Token$");
        return Failed(state);
      }
      ReadRadix(state, 4, "TokenHex");
      break;
    case '\'': ReadCharacter(state); break;
    case '"': ReadString(state); break;
    default:
      if (IsDigit(c)) {
        ReadDecimal(state);
      } else if (IsLetter(c)) {
        ReadIdentifier(state, false);
      } else {
        FailCharacter(state, "InvalidInput", c);
        return Failed(state);
      }
  }
  if (single >= 0) {
    state.token = single;
    if (single != TokenEnd) state.position += 1;
  }
  if (state.failed) return Failed(state);
  switch (state.token) {
    case TokenInteger: case TokenFloat: case TokenString: case TokenIdentifier:
    case TokenRParen: case TokenRBracket:
      state.afterValue = true;
      break;
    default:
      state.afterValue = false;
  }
}

}  // namespace evaluator
}  // namespace kx
