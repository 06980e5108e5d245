// Entry points of the evaluator: an expression, and the "set" assignment.
// Both run while the program is stopped, so the thread's last system error
// is kept as the program left it.
#include <windows.h>

#include <cstring>

#include "runtime/core/strings.h"
#include "runtime/debugger/evaluator_internal.h"

namespace kx {

namespace {

using namespace evaluator;

// Keeps the calling thread's last system error across an evaluation.
class KeepLastError {
 public:
  KeepLastError() : error_(GetLastError()) {}
  ~KeepLastError() { SetLastError(error_); }

 private:
  DWORD error_;
};

void Clear(EvaluationResult* result) { std::memset(result, 0, sizeof *result); }

int Failed(EvaluationResult* result, const State& state) {
  FreeText(result->text);
  Clear(result);
  result->kind = ValueFailed;
  std::memcpy(result->message, state.message, sizeof result->message);
  result->message[sizeof result->message - 1] = 0;
  return 0;
}

int Succeeded(EvaluationResult* result, Value& value) {
  result->kind = value.kind;
  result->literal = value.literal;
  result->integer = value.integer;
  result->number = value.number;
  result->text = value.text;
  value.text = nullptr;
  result->address = value.address;
  result->structure = value.structure;
  return 1;
}

// Position of the "=" of "target = value", outside quoted literals; -1 if none.
int32_t AssignmentSign(const char* text) {
  char quote = 0;
  for (int32_t i = 0; text[i]; ++i) {
    char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '=') {
      return i;
    }
  }
  return -1;
}

bool Write(State& state, const Place& place, const Value& value) {
  bool isString = value.kind == ValueString;
  uint8_t type = place.type;
  if ((type & TypePointerFlag) == 0 && (type == TypeString || type == TypeFixedString)) {
    if (!isString) return FailDebugger(state, "NumericString");
  } else if (isString) {
    return FailDebugger(state, "StringNumeric");
  }
  int32_t size = ElementSize(type, place.structure, place.fixedLength);
  if (size <= 0 || !Writable(place.address, size_t(size))) return FailDebugger(state, "TargetNotFound");
  char* at = place.address;
  if (type & TypePointerFlag) {
    intptr_t v = intptr_t(AsInteger(value));
    std::memcpy(at, &v, sizeof v);
    return true;
  }
  int64_t integer = AsInteger(value);
  switch (type) {
    case TypeByte: case TypeChar: { int8_t v = int8_t(integer); std::memcpy(at, &v, 1); return true; }
    case TypeWord: { int16_t v = int16_t(integer); std::memcpy(at, &v, 2); return true; }
    case TypeLong: { int32_t v = int32_t(integer); std::memcpy(at, &v, 4); return true; }
    case TypeInteger: { intptr_t v = intptr_t(integer); std::memcpy(at, &v, sizeof v); return true; }
    case TypeQuad: std::memcpy(at, &integer, 8); return true;
    case TypeFloat: { float v = float(AsDouble(value)); std::memcpy(at, &v, 4); return true; }
    case TypeDouble: { double v = AsDouble(value); std::memcpy(at, &v, 8); return true; }
    case TypeString: {
      // A string variable owns its block of the string heap.
      char* variable;
      std::memcpy(&variable, at, sizeof variable);
      AssignString(&variable, value.text);
      std::memcpy(at, &variable, sizeof variable);
      return true;
    }
    case TypeFixedString: {
      size_t length = std::strlen(value.text);
      if (length > size_t(place.fixedLength)) length = size_t(place.fixedLength);
      std::memset(at, 0, size_t(place.fixedLength));
      std::memcpy(at, value.text, length);
      return true;
    }
  }
  return FailDebugger(state, "TargetNotFound");
}

}  // namespace

int EvaluateExpression(const char* text, EvaluationResult* result, const DebuggerRecord* thread) {
  if (!result) return 0;
  KeepLastError keep;
  Clear(result);
  State state;
  SetContext(state, thread);
  Begin(state, text);
  Value value;
  if (!WholeExpression(state, value)) return Failed(result, state);
  return Succeeded(result, value);
}

int AssignExpression(const char* text, EvaluationResult* result, const DebuggerRecord* thread) {
  if (!result) return 0;
  KeepLastError keep;
  Clear(result);
  if (!text) text = "";
  State state;
  SetContext(state, thread);
  int32_t sign = AssignmentSign(text);
  const char* valueText = sign >= 0 ? text + sign + 1 : "";
  while (*valueText == ' ' || *valueText == '\t') ++valueText;
  char* targetText = NewText(text, sign >= 0 ? sign : int32_t(std::strlen(text)));
  if (!targetText) {
    Fail(state, "NoMemory");
    return Failed(result, state);
  }
  Place place;
  Begin(state, targetText);
  bool ok = TargetPlace(state, place);
  if (ok && state.token != TokenEnd) ok = state.token == TokenFailed ? false : Fail(state, "Garbage");
  if (ok && place.type == TypeStructure) ok = FailDebugger(state, "AssignStructure");
  if (ok && !*valueText) ok = FailDebugger(state, "AssignValue");
  FreeText(targetText);
  if (!ok) return Failed(result, state);

  Value value;
  Begin(state, valueText);
  if (!WholeExpression(state, value) || !Write(state, place, value)) return Failed(result, state);
  // The value as the variable now holds it.
  Value stored;
  if (!ReadPlace(state, place, stored)) return Failed(result, state);
  return Succeeded(result, stored);
}

void FreeEvaluation(EvaluationResult* result) {
  if (!result) return;
  FreeText(result->text);
  result->text = nullptr;
}

}  // namespace kx
