// A generated corpus of random, mutated, very long and deeply nested
// expressions: every one evaluates to a value or to one of the evaluator's
// messages, without a crash or a hang, and the evaluator's heap and the
// thread's temporary string buffer return to where they were.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "evaluator_program.h"
#include "runtime/core/strings.h"

namespace {

// Bytes in use on the evaluator's heap.
size_t HeapInUse() {
  HANDLE heap = kx::EvaluatorHeap();
  size_t used = 0;
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
  }
  return used;
}

const char* const ParserKeys[] = {
    "NoMemory", "Token>", "Token<", "TokenBinary", "TokenString", "TokenCharacter", "Token$", "TokenHex",
    "TokenDecimal", "InvalidInput", "ArgumentExpected", "NumericString", "InvalidStringOp", "FloatBinary",
    "NoStringOp", "NoFloatOp", "UnmatchedLParen", "UnmatchedLBracket", "IdentifierExpected",
    "IdentifierExpected@", "IdentifierExpected?", "ConstantExpected", "UnexpectedToken", "FieldExpected",
    "IntegerIndex", "OutOfBounds", "NoArray", "FieldNotFound", "InvalidString", "NullStructure",
    "InvalidStructure", "VariableNotFound", "UnexpectedCall", "NoAddress", "ArrayInit", "MissingArrayParen",
    "NoDimensions", "TooFewDimensions", "TooManyDimensions", "MissingListParen", "NoCurrentElement",
    "ArrayListNotFound", "NoStructure", "Garbage", "MissingFunctionParen", "TooFewArguments",
    "TooManyArguments", "StringExpected", "NumberExpected", "InvalidMemory", "InvalidStringMemory",
    "NoReplaceMode", "LabelNotFound", "ConstantNotFound"};

// A message is the start of one of the evaluator's texts (up to its first
// "%" conversion), or a division check's text.
bool KnownMessage(const std::string& message) {
  std::vector<std::string> texts = {kx::CatalogText("DebuggerErrors", "1"), kx::CatalogText("DebuggerErrors", "2")};
  for (const char* key : ParserKeys) texts.push_back(kx::CatalogText("Parser", key));
  for (std::string text : texts) {
    size_t percent = text.find('%');
    if (percent == 0) text = text.substr(2);   // "%s does not point ..."
    else if (percent != std::string::npos) text = text.substr(0, percent);
    if (message.find(text) != std::string::npos) return true;
  }
  return false;
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  int Below(int n) { return int(random_() % uint32_t(n)); }

  std::string Literal(int which = -1) {
    switch (which >= 0 ? which : Below(9)) {
      case 0: return std::to_string(Below(1000));
      case 1: return std::to_string(int64_t(random_()) << Below(40));
      case 2: return "$" + Hex(random_());
      case 3: return "%" + Binary(random_() % 64);
      case 4: return std::to_string(Below(100)) + "." + std::to_string(Below(1000));
      case 5: return std::to_string(Below(9) + 1) + "e" + (Below(2) ? "-" : "") + std::to_string(Below(400));
      case 6: return "'" + std::string(1, char('A' + Below(26))) + "'";
      case 7: return "\"" + std::string(size_t(Below(6)), char('a' + Below(26))) + "\"";
      default: return std::to_string(Below(5));
    }
  }

  std::string Name() {
    static const char* const names[] = {
        "Count", "Big", "Small", "Letter", "Short", "Size", "Ratio", "Half", "Name$", "Empty$", "BadText$",
        "Fixed$", "Server", "Server\\serverid", "Server\\ip$", "Server\\guid\\Data4[", "Server\\next\\serverid",
        "Server\\next\\next\\port", "*ServerPointer\\port", "*NullPointer\\port", "*BadPointer\\ip",
        "*RawPointer", "Numbers(", "Grid(", "Undimensioned(", "Shapeless(", "Points(", "Reals(", "Items()",
        "NoCurrent()", "Unmade()", "#Answer", "#Pi", "#Title$", "#Nirgends", "?Start", "?Nirgends", "@Count",
        "@Server\\port", "@Numbers()", "@Rechne()", "Local$", "Calls", "Table(", "Nirgends", "Rechne()"};
    return names[Below(int(sizeof names / sizeof names[0]))];
  }

  std::string Function() {
    static const char* const functions[] = {
        "ACos", "ASin", "ATan", "Abs", "Cos", "Int", "Log", "Log10", "Pow", "Round", "Sin", "Sqr", "Tan",
        "CompareMemory", "CompareMemoryString", "MemorySize", "MemoryStringLength", "PeekB", "PeekC", "PeekD",
        "PeekF", "PeekI", "PeekL", "PeekQ", "PeekS", "PeekW", "Asc", "Bin", "Chr", "Hex", "LCase", "LSet",
        "LTrim", "Left", "Len", "Mid", "RSet", "RTrim", "Right", "Space", "Str", "StrD", "StrF", "StrU", "Trim",
        "UCase", "Val", "ValD", "ValF", "CountString", "FindString", "RemoveString", "ReplaceString",
        "StringByteLength", "StringField"};
    return functions[Below(int(sizeof functions / sizeof functions[0]))];
  }

  std::string Expression(int depth) {
    if (depth <= 0 || Below(4) == 0) return Operand(depth);
    static const char* const operators[] = {"+", "-", "*", "/", "|", "&", "<<", ">>", "!", "%", " % "};
    return Expression(depth - 1) + operators[Below(11)] + Expression(depth - 1);
  }

  std::string Operand(int depth) {
    std::string unary = Below(5) == 0 ? std::string(1, "+-~"[Below(3)]) : "";
    switch (Below(depth > 0 ? 5 : 2)) {
      case 0: return unary + Literal();
      case 1: {
        std::string name = Name();
        if (name.back() == '(') name += Arguments(depth, name == "Grid(" ? 2 : 1) + ")";
        else if (name.back() == '[') name += std::to_string(Below(10)) + "]";
        return unary + name;
      }
      case 2: return unary + "(" + Expression(depth - 1) + ")";
      default: return unary + Function() + "(" + Arguments(depth, Below(4)) + ")";
    }
  }

  std::string Arguments(int depth, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? ", " : "") + Expression(depth - 1);
    return text;
  }

  // Well-typed expressions (mostly valid): numbers and strings.
  std::string Number(int depth) {
    if (depth <= 0 || Below(3) == 0) return NumberOperand(depth);
    static const char* const operators[] = {"+", "-", "*", "/", "|", "&", "<<", ">>", "!", " % "};
    return Number(depth - 1) + operators[Below(10)] + Number(depth - 1);
  }

  std::string NumberOperand(int depth) {
    static const char* const names[] = {
        "Count", "Big", "Small", "Letter", "Short", "Size", "Server\\serverid", "*ServerPointer\\port",
        "Items()", "#Answer", "Calls", "Server\\next\\serverid"};
    std::string unary = Below(6) == 0 ? std::string(1, "+-~"[Below(3)]) : "";
    switch (Below(depth > 0 ? 9 : 3)) {
      case 0: return unary + std::to_string(Below(100));
      case 1: return unary + Literal(Below(4));
      case 2: return unary + names[Below(int(sizeof names / sizeof names[0]))];
      case 3: return unary + "Numbers(" + std::to_string(Below(5)) + ")";
      case 4: return unary + "Grid(" + std::to_string(Below(3)) + "," + std::to_string(Below(4)) + ")";
      case 5: return unary + "Server\\guid\\Data4[" + std::to_string(Below(8)) + "]";
      case 6: return unary + "(" + Number(depth - 1) + ")";
      case 7: {
        static const char* const functions[] = {"Len(", "Asc(", "Val(", "CountString(", "FindString("};
        int f = Below(5);
        return unary + functions[f] + Text(depth - 1) + (f >= 3 ? ", " + Text(depth - 1) : "") + ")";
      }
      default: return unary + "Int(" + Number(depth - 1) + ")";
    }
  }

  std::string Text(int depth) {
    std::string text = TextOperand(depth);
    while (depth > 0 && Below(3) == 0) text += "+" + TextOperand(depth - 1);
    return text;
  }

  std::string TextOperand(int depth) {
    static const char* const names[] = {"Name$", "Server\\ip$", "Fixed$", "#Title$", "Empty$", "Local$"};
    switch (Below(depth > 0 ? 8 : 2)) {
      case 0: return "\"" + std::string(size_t(Below(6)), char('a' + Below(26))) + "\"";
      case 1: return names[Below(6)];
      case 2: return "Left(" + Text(depth - 1) + ", " + Number(depth - 1) + ")";
      case 3: return "Str(" + Number(depth - 1) + ")";
      case 4: return "Hex(" + Number(depth - 1) + ")";
      case 5: return "UCase(" + Text(depth - 1) + ")";
      case 6: return "StringField(" + Text(depth - 1) + ", " + Number(depth - 1) + ", \",\")";
      default: return "Mid(" + Text(depth - 1) + ", " + Number(depth - 1) + ", 3)";
    }
  }

  // Deletes, inserts, repeats, swaps or cuts characters.
  std::string Mutate(std::string text) {
    static const std::string alphabet = "()[]\\@#?*$%'\"+-<>|&!~,. 0123456789abcxyzE_\t;^=";
    int edits = 1 + Below(4);
    for (int i = 0; i < edits; ++i) {
      size_t at = text.empty() ? 0 : size_t(Below(int(text.size()) + 1));
      switch (Below(6)) {
        case 0: if (at < text.size()) text.erase(at, 1); break;
        case 1: text.insert(at, 1, alphabet[size_t(Below(int(alphabet.size())))]); break;
        case 2: if (at < text.size()) text.insert(at, text.substr(at, size_t(Below(8)))); break;
        case 3: if (at + 1 < text.size()) std::swap(text[at], text[at + 1]); break;
        case 4: text.resize(at); break;
        default: text.insert(at, 1, char(1 + Below(255)));
      }
    }
    return text;
  }

 private:
  static std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", v);
    return text;
  }
  static std::string Binary(uint32_t v) {
    std::string text;
    do {
      text.insert(text.begin(), char('0' + (v & 1)));
      v >>= 1;
    } while (v);
    return text;
  }
  std::mt19937 random_;
};

class EvaluatorCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = kx::CurrentDebugSymbols();
    evaltest::Install();
  }
  void TearDown() override { kx::SetDebugSymbols(previous); }

  // Evaluates, checks the outcome's form and the temporary buffer's position.
  void Run(const std::string& text, const kx::DebuggerRecord* thread = &evaltest::AtTopLevel) {
    int32_t mark = kx::GetStringMark();
    kx::EvaluationResult result;
    int ok = kx::EvaluateExpression(text.c_str(), &result, thread);
    if (ok) {
      EXPECT_NE(result.kind, kx::ValueFailed);
    } else {
      EXPECT_EQ(result.kind, kx::ValueFailed);
      EXPECT_TRUE(KnownMessage(result.message)) << "message: " << result.message << "\nexpression: " << text.substr(0, 200);
      ++failures;
    }
    kx::FreeEvaluation(&result);
    EXPECT_EQ(kx::GetStringMark(), mark) << text.substr(0, 200);
    ++evaluated;
  }

  const kx::DebugSymbols* previous = nullptr;
  int evaluated = 0;
  int failures = 0;
};

TEST_F(EvaluatorCorpus, RandomAndMutatedExpressions) {
  Run("1");   // the heap exists and has its first blocks
  size_t before = HeapInUse();
  evaluated = failures = 0;
  Generator generator(20261208);
  std::vector<std::string> seeds;
  for (int i = 0; i < 2500; ++i) {
    int depth = 1 + generator.Below(5);
    std::string text = i % 5 == 4   ? generator.Expression(depth)
                       : i % 5 == 3 ? generator.Text(depth)
                                    : generator.Number(depth);
    Run(text, i % 2 ? &evaltest::InsideRechne : &evaltest::AtTopLevel);
    if (i % 5 == 0) seeds.push_back(text);
  }
  for (int i = 0; i < 2500; ++i) Run(generator.Mutate(seeds[size_t(i) % seeds.size()]));
  EXPECT_EQ(evaluated, 5000);
  std::printf("%d of %d expressions failed\n", failures, evaluated);
  // Both outcomes are well represented.
  EXPECT_GT(failures, 1000);
  EXPECT_LT(failures, 4000);
  EXPECT_EQ(HeapInUse(), before);
}

TEST_F(EvaluatorCorpus, LongAndDeeplyNestedExpressions) {
  Run("1");
  size_t before = HeapInUse();
  auto repeat = [](const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
  };
  auto expect = [&](const std::string& text, const std::string& expected) {
    EXPECT_EQ(evaltest::Evaluate(text), expected) << text.substr(0, 80);
  };
  // Nesting is refused beyond a depth that the stack surely holds.
  expect(repeat("(", 100000) + "1" + repeat(")", 100000), "Parser out of memory.");
  expect(repeat("(", 150) + "1" + repeat(")", 150), "1");
  expect(repeat("-(", 150) + "1" + repeat(")", 150), "1");
  expect(repeat("Len(Str(", 50000) + "1", "Parser out of memory.");
  expect(repeat("Numbers(", 50000) + "0", "Parser out of memory.");
  expect(repeat("Server\\guid\\Data4[", 50000) + "0", "Parser out of memory.");
  expect(repeat("(", 100000), "Parser out of memory.");
  expect(repeat("(", 150), "Unexpected Token.");
  // Long flat expressions are no trouble.
  expect("0" + repeat("+1", 200000), "200000");
  expect("1" + repeat("*1", 200000), "1");
  expect(repeat("-1+", 100000) + "0", "-100000");
  expect("Len(" + repeat("\"ab\"+", 20000) + "\"\")", "40000");
  expect("Len(\"" + std::string(1 << 20, 'x') + "\")", "1048576");
  expect(std::string(100000, 'a'), "Variable not found: '" + std::string(120, 'a') + "'.");
  expect(repeat("1+", 100000), "This operator expects another argument.");
  expect(repeat("$", 100000), "Unexpected token: '$'");
  Run(std::string(100000, '9'));
  Run(std::string(100000, '9') + "." + std::string(100000, '9') + "e-99999");
  expect("1" + std::string(100000, ' '), "1");
  expect("Space(100000000)", "Parser out of memory.");
  expect("Len(ReplaceString(Space(1000000), \" \", Space(100)))", "Parser out of memory.");
  expect("LSet(\"a\", 1000000000)", "Parser out of memory.");
  expect("Len(Space(1000000)+Space(1000000))", "2000000");
  EXPECT_EQ(HeapInUse(), before);
}

TEST_F(EvaluatorCorpus, RandomBytes) {
  Run("1");
  size_t before = HeapInUse();
  Generator generator(7);
  for (int i = 0; i < 1000; ++i) {
    std::string text(size_t(1 + generator.Below(40)), ' ');
    for (char& c : text) c = char(1 + generator.Below(255));
    Run(text);
  }
  EXPECT_EQ(HeapInUse(), before);
}

}  // namespace
