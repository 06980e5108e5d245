// The library functions an expression may call, by name (without regard to
// case), with their argument rules; each behaves as the runtime command of
// the same name and never reports through the debugger, since the program
// is stopped while an expression is evaluated.  The handlers of the memory
// and string functions are evaluator_library_memory.cpp and
// evaluator_library_strings.cpp.
#include <cmath>

#include "runtime/debugger/evaluator_library.h"

namespace kx {
namespace evaluator {

namespace {

constexpr int MaxArguments = 5;

struct Function {
  const char* name;
  uint8_t least;           // arguments needed
  uint8_t most;            // arguments allowed
  const char* types;       // per argument: 'n' number, 's' string
  bool pure;               // the result is literal when the arguments are
  Handler handler;
};

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
    {"PeekB", 1, 1, "n", false, PeekB},
    {"PeekC", 1, 1, "n", false, PeekC},
    {"PeekD", 1, 1, "n", false, PeekD},
    {"PeekF", 1, 1, "n", false, PeekF},
    {"PeekI", 1, 1, "n", false, PeekI},
    {"PeekL", 1, 1, "n", false, PeekL},
    {"PeekQ", 1, 1, "n", false, PeekQ},
    {"PeekS", 1, 3, "nnn", false, PeekS},
    {"PeekW", 1, 1, "n", false, PeekW},
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