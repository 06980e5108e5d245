// Values of the evaluator: their texts on the evaluator's own heap, the
// operators over integers, floats and strings, the error messages, and the
// checks that memory named by the program is readable.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/debugger/evaluator_internal.h"

namespace kx {

void* EvaluatorHeap() {
  static void* volatile heap = nullptr;
  if (!heap) {
    HANDLE made = HeapCreate(0, 0, 0);
    if (made && InterlockedCompareExchangePointer(const_cast<void**>(&heap), made, nullptr) != nullptr) {
      HeapDestroy(made);
    }
  }
  return heap;
}

namespace evaluator {

// ---- errors ----

namespace {
bool SetMessage(State& state, const char* text) {
  if (!state.failed) {
    state.failed = true;
    std::snprintf(state.message, sizeof state.message, "%s", text);
  }
  return false;
}
}  // namespace

bool Fail(State& state, const char* key) { return SetMessage(state, CatalogText("Parser", key)); }

bool FailName(State& state, const char* key, const char* prefix, const char* name, int32_t length) {
  if (state.failed) return false;
  char text[EvaluationMessageSize];
  if (length > 120) length = 120;   // a long name is shown cut
  std::snprintf(text, sizeof text, "%s '%s%.*s'.", CatalogText("Parser", key), prefix, int(length), name);
  return SetMessage(state, text);
}

bool FailCharacter(State& state, const char* key, char c) {
  if (state.failed) return false;
  char text[EvaluationMessageSize];
  std::snprintf(text, sizeof text, CatalogText("Parser", key), c);
  return SetMessage(state, text);
}

bool FailText(State& state, const char* key, const char* argument) {
  if (state.failed) return false;
  char text[EvaluationMessageSize];
  std::snprintf(text, sizeof text, CatalogText("Parser", key), argument);
  return SetMessage(state, text);
}

bool FailDebugger(State& state, const char* key) { return SetMessage(state, CatalogText("Debugger", key)); }

// ---- texts ----

char* NewTextRoom(int32_t length) {
  if (length < 0 || length > MaxTextLength) return nullptr;
  HANDLE heap = EvaluatorHeap();
  if (!heap) return nullptr;
  return static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, size_t(length) + 1));
}

char* NewText(const char* text, int32_t length) {
  char* copy = NewTextRoom(length);
  if (copy && length > 0) std::memcpy(copy, text, size_t(length));
  return copy;
}

void FreeText(char* text) {
  if (text) HeapFree(EvaluatorHeap(), 0, text);
}

bool TakeString(State& state, Value& out, char* text) {
  out.Release();
  if (!text) return Fail(state, "NoMemory");
  out.kind = ValueString;
  out.text = text;
  return true;
}

bool MakeString(State& state, Value& out, const char* text, int32_t length) {
  return TakeString(state, out, NewText(text, length));
}

Value::~Value() { FreeText(text); }

Value::Value(Value&& other) noexcept
    : kind(other.kind), literal(other.literal), integer(other.integer), number(other.number),
      text(other.text), address(other.address), structure(other.structure) {
  other.text = nullptr;
}

Value& Value::operator=(Value&& other) noexcept {
  if (this != &other) {
    FreeText(text);
    kind = other.kind;
    literal = other.literal;
    integer = other.integer;
    number = other.number;
    text = other.text;
    address = other.address;
    structure = other.structure;
    other.text = nullptr;
  }
  return *this;
}

void Value::Release() {
  FreeText(text);
  text = nullptr;
  kind = ValueInteger;
  integer = 0;
  number = 0;
  address = nullptr;
  structure = nullptr;
}

State::~State() { FreeText(text); }

// ---- numbers ----

int64_t DoubleToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  return int64_t(value);
}

int64_t RoundToInteger(double value) {
  if (std::isnan(value)) return 0;
  return DoubleToInteger(std::nearbyint(value));
}

double AsDouble(const Value& value) {
  return value.kind == ValueFloat ? value.number : double(value.integer);
}

int64_t AsInteger(const Value& value) {
  return value.kind == ValueFloat ? RoundToInteger(value.number) : value.integer;
}

// ---- operators ----

namespace {

bool Concatenate(State& state, Value& left, Value& right) {
  size_t a = std::strlen(left.text), b = std::strlen(right.text);
  if (a + b > size_t(MaxTextLength)) return Fail(state, "NoMemory");
  char* joined = NewTextRoom(int32_t(a + b));
  if (!joined) return Fail(state, "NoMemory");
  std::memcpy(joined, left.text, a);
  std::memcpy(joined + a, right.text, b);
  FreeText(left.text);
  left.text = joined;
  right.Release();
  return true;
}

bool IntegerBinary(State& state, int32_t op, int64_t a, int64_t b, int64_t& result) {
  uint64_t ua = uint64_t(a), ub = uint64_t(b);
  switch (op) {
    case TokenPlus: result = int64_t(ua + ub); return true;
    case TokenMinus: result = int64_t(ua - ub); return true;
    case TokenTimes: result = int64_t(ua * ub); return true;
    case TokenDivide:
    case TokenModulo:
      // A zero divisor is refused with the texts of the program's own
      // division checks; the one overflowing quotient wraps as the processor's.
      if (b == 0) {
        return SetMessage(state, CatalogText("DebuggerErrors", op == TokenDivide ? "1" : "2"));
      }
      if (b == -1) {
        result = op == TokenDivide ? int64_t(0 - ua) : 0;
        return true;
      }
      result = op == TokenDivide ? a / b : a % b;
      return true;
    case TokenOr: result = a | b; return true;
    case TokenAnd: result = a & b; return true;
    case TokenXor: result = a ^ b; return true;
    case TokenShiftLeft: result = int64_t(ua << (b & 63)); return true;
    case TokenShiftRight: result = a >> (b & 63); return true;
  }
  return Fail(state, "UnexpectedToken");
}

}  // namespace

bool Binary(State& state, int32_t op, Value& left, Value& right) {
  if (left.kind == ValueStructure || right.kind == ValueStructure) return Fail(state, "UnexpectedToken");
  bool literal = left.literal && right.literal;
  if (left.kind == ValueString || right.kind == ValueString) {
    if (left.kind != right.kind) return Fail(state, "NumericString");
    if (op != TokenPlus) return Fail(state, "InvalidStringOp");
    if (!Concatenate(state, left, right)) return false;
  } else if (left.kind == ValueFloat || right.kind == ValueFloat) {
    double a = AsDouble(left), b = AsDouble(right);
    switch (op) {
      case TokenPlus: left.number = a + b; break;
      case TokenMinus: left.number = a - b; break;
      case TokenTimes: left.number = a * b; break;
      case TokenDivide: left.number = a / b; break;
      default: return Fail(state, "FloatBinary");
    }
    left.kind = ValueFloat;
  } else {
    if (!IntegerBinary(state, op, left.integer, right.integer, left.integer)) return false;
  }
  left.literal = literal;
  return true;
}

bool Unary(State& state, int32_t op, Value& operand) {
  if (operand.kind == ValueStructure) return Fail(state, "UnexpectedToken");
  if (operand.kind == ValueString) return Fail(state, "NoStringOp");
  if (operand.kind == ValueFloat) {
    if (op == TokenNot) return Fail(state, "NoFloatOp");
    if (op == TokenMinus) operand.number = -operand.number;
    return true;
  }
  if (op == TokenMinus) operand.integer = int64_t(0 - uint64_t(operand.integer));
  if (op == TokenNot) operand.integer = ~operand.integer;
  return true;
}

// ---- memory ----

namespace {

bool PageReadable(const MEMORY_BASIC_INFORMATION& info) {
  if (info.State != MEM_COMMIT) return false;
  if (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
  return (info.Protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                          PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

bool PageWritable(const MEMORY_BASIC_INFORMATION& info) {
  if (!PageReadable(info)) return false;
  return (info.Protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

template <typename Test>
bool RangeIs(const void* address, size_t size, Test test) {
  if (!address) return false;
  uintptr_t p = reinterpret_cast<uintptr_t>(address);
  if (size == 0) size = 1;
  if (p + size < p) return false;
  uintptr_t end = p + size;
  while (p < end) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<void*>(p), &info, sizeof info) == 0) return false;
    if (!test(info)) return false;
    uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= p) return false;
    p = regionEnd;
  }
  return true;
}

}  // namespace

bool Readable(const void* address, size_t size) { return RangeIs(address, size, PageReadable); }

bool Writable(void* address, size_t size) { return RangeIs(address, size, PageWritable); }

const char* ReadableEnd(const char* address) {
  MEMORY_BASIC_INFORMATION info;
  if (!address || VirtualQuery(address, &info, sizeof info) == 0 || !PageReadable(info)) return address;
  const char* end = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
  return end > address ? end : address;
}

bool ReadableText(const char* text, size_t* length) {
  if (!text) return false;
  uintptr_t p = reinterpret_cast<uintptr_t>(text);
  for (;;) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<void*>(p), &info, sizeof info) == 0) return false;
    if (!PageReadable(info)) return false;
    uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= p) return false;
    const void* zero = std::memchr(reinterpret_cast<const void*>(p), 0, regionEnd - p);
    if (zero) {
      *length = static_cast<const char*>(zero) - text;
      return true;
    }
    p = regionEnd;
  }
}

}  // namespace evaluator
}  // namespace kx
