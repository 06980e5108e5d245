// State shared by the evaluator's source files: tokens, values, the
// evaluation state and the steps each file offers the others.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/debugger/evaluator.h"

namespace kx {
namespace evaluator {

// Tokens.
enum Token : int32_t {
  TokenEnd,
  TokenPlus, TokenMinus, TokenTimes, TokenDivide,
  TokenOr, TokenAnd,
  TokenShiftLeft, TokenShiftRight, TokenXor, TokenModulo,
  TokenNot,
  TokenLParen, TokenRParen, TokenLBracket, TokenRBracket, TokenComma,
  TokenField,       // "\"
  TokenAddress,     // "@"
  TokenConstant,    // "#"
  TokenLabel,       // "?"
  TokenInteger, TokenFloat, TokenString,
  TokenIdentifier,  // also "*name" (pointer) by the previous-token rule
  TokenFailed,      // the tokenizer reported an error
};

// Longest text an evaluator value may hold; longer results are refused
// as "NoMemory" instead of taking the program's memory.
constexpr int32_t MaxTextLength = 16 * 1024 * 1024;

// Groups nested deeper than this (parentheses, indexes, arguments) are
// refused as "NoMemory": the evaluator runs on the stopped program's stack.
constexpr int32_t MaxNesting = 200;

// A value during evaluation; owns its text (evaluator heap).
struct Value {
  int32_t kind = ValueInteger;
  bool literal = false;
  int64_t integer = 0;
  double number = 0;
  char* text = nullptr;
  void* address = nullptr;
  const StructureDescription* structure = nullptr;

  Value() = default;
  ~Value();
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  Value(Value&& other) noexcept;
  Value& operator=(Value&& other) noexcept;
  void Release();                 // frees the text, kind integer 0
};

struct State {
  const char* input = "";
  int32_t position = 0;
  // Current token and its payload.
  int32_t token = TokenEnd;
  int32_t tokenStart = 0;
  int64_t integer = 0;
  double number = 0;
  char* text = nullptr;           // string literal (owned until taken)
  int32_t nameStart = 0;          // identifier
  int32_t nameLength = 0;
  bool pointer = false;           // identifier written with "*"
  bool afterValue = false;        // the previous token ends a value
  // Error.
  bool failed = false;
  char message[EvaluationMessageSize] = {};
  int32_t depth = 0;
  // Context: the innermost procedure of the stopped thread and its frame.
  const ProcedureEntry* procedure = nullptr;
  char* frame = nullptr;

  State() = default;
  ~State();
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  const char* Name() const { return input + nameStart; }
};

// ---- errors (evaluator_values.cpp) ----
// Each sets the message once (the first error wins) and returns false.
bool Fail(State& state, const char* key);
// The catalog text followed by " '", prefix, the name and "'.".
bool FailName(State& state, const char* key, const char* prefix, const char* name, int32_t length);
// The catalog text formatted with one argument ("%c", "%s").
bool FailCharacter(State& state, const char* key, char c);
bool FailText(State& state, const char* key, const char* argument);
// The message of group "Debugger" (assignment).
bool FailDebugger(State& state, const char* key);

// ---- texts of the evaluator heap (evaluator_values.cpp) ----
char* NewText(const char* text, int32_t length);   // nullptr when out of memory
char* NewTextRoom(int32_t length);                 // length + 1 bytes, zero-filled
void FreeText(char* text);
// A string value from a text, or "NoMemory".
bool MakeString(State& state, Value& out, const char* text, int32_t length);
// Takes ownership of text (nullptr: "NoMemory").
bool TakeString(State& state, Value& out, char* text);

// ---- operations (evaluator_values.cpp) ----
bool Binary(State& state, int32_t op, Value& left, Value& right);   // result in left
bool Unary(State& state, int32_t op, Value& operand);
// Number conversions with saturation (NaN gives 0).
int64_t DoubleToInteger(double value);   // truncated
int64_t RoundToInteger(double value);    // to nearest
double AsDouble(const Value& value);
int64_t AsInteger(const Value& value);   // floats rounded to nearest

// ---- memory (evaluator_values.cpp) ----
bool Readable(const void* address, size_t size);
bool Writable(void* address, size_t size);
// End of the readable region that holds address (address itself when it is
// not readable).
const char* ReadableEnd(const char* address);
// A readable text up to its zero; its length in *length.
bool ReadableText(const char* text, size_t* length);

// ---- tokenizer (evaluator_tokens.cpp) ----
void Begin(State& state, const char* input);
// Reads the next token into state (TokenFailed after an error).
void Next(State& state);
// Blanks skipped, the next character of the input (not consumed).
char PeekCharacter(const State& state);

// ---- grammar (evaluator_grammar.cpp) ----
bool Expression(State& state, Value& out);
// A whole input: expression then its end ("Garbage").
bool WholeExpression(State& state, Value& out);

// ---- names and places (evaluator_places.cpp) ----
struct Place {
  uint8_t type = 0;              // type code with the pointer flag
  char* address = nullptr;
  const StructureDescription* structure = nullptr;
  int32_t fixedLength = 0;
};
// Compares a stored name ("Connect", "Title$") with a name of the input,
// without regard to case; a name without "$" also finds the stored name with
// it.  NameMatches first drops a variable's "v_" or "p_".
bool SameName(const char* stored, const char* name, int32_t length);
bool NameMatches(const char* stored, const char* name, int32_t length);
// Identifier (current token) in an expression: a variable, an element, a
// field, a function call; the value in out.
bool Identifier(State& state, Value& out);
// "@" identifier.
bool AddressOf(State& state, Value& out);
// "#" / "?" identifier.
bool ConstantValue(State& state, Value& out);
bool LabelAddress(State& state, Value& out);
// The current token as an assignable place (the "set" target).
bool TargetPlace(State& state, Place& place);
// Reads a place's value (strings copied).
bool ReadPlace(State& state, const Place& place, Value& out);
// Finds the innermost procedure and its frame of the thread.
void SetContext(State& state, const DebuggerRecord* thread);

// ---- resident constant files (evaluator_residents.cpp) ----
// The constant named by the current token, from the resident files under the
// install path: 1 found (value in out), 0 not found, -1 failed (message set).
int ResidentConstant(State& state, Value& out);

// ---- library functions (evaluator_functions.cpp) ----
// 1 if name is a library function (without regard to case).
bool IsLibraryFunction(const char* name, int32_t length);
// The current token is the function's name, the next one "(": parses the
// arguments, calls it and leaves the value in out.
bool CallFunction(State& state, Value& out);

}  // namespace evaluator
}  // namespace kx
