// The expression evaluator against a test program's symbol tables: each case
// is an expression and the value it gives or the exact error text.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "evaluator_program.h"
#include "runtime/core/memory.h"

namespace {

using evaltest::Evaluate;

struct Case {
  const char* expression;
  const char* expected;
};

void ExpectAll(const std::vector<Case>& cases, const kx::DebuggerRecord* thread = &evaltest::AtTopLevel) {
  for (const Case& c : cases) EXPECT_EQ(Evaluate(c.expression, thread), c.expected) << "expression: " << c.expression;
}

class Evaluator : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = kx::CurrentDebugSymbols();
    evaltest::Install();
  }
  void TearDown() override { kx::SetDebugSymbols(previous); }
  const kx::DebugSymbols* previous = nullptr;
};

TEST_F(Evaluator, PrecedenceAndAssociativity) {
  ExpectAll({
      {"1+2*3", "7"},
      {"1|2*4", "12"},        // "|" binds tighter than "*"
      {"2*1|2", "6"},
      {"2+3*4|1", "17"},
      {"10-4-3", "3"},        // left to right
      {"100/10/5", "2"},
      {"2<<3<<1", "32"},
      {"(1+2)*3", "9"},
      {"-5+3", "-2"},
      {"2*-3", "-6"},
      {"1--5", "6"},
      {"~5", "-6"},
      {"-~5", "Unexpected Token."},   // one unary operator per operand
      {"--5", "Unexpected Token."},
      {"-(~5)", "6"},
      {"7%4", "3"},
      {"-7%4", "-3"},
      {"6!3", "5"},
      {"12&10", "8"},
      {"-16>>2", "-4"},
      {"1<<63", "-9223372036854775808"},
      {"9223372036854775807+1", "-9223372036854775808"},
      {"(-9223372036854775807-1)/-1", "-9223372036854775808"},
      {"7/-2", "-3"},
  });
}

TEST_F(Evaluator, Literals) {
  ExpectAll({
      {"$FF", "255"},
      {"$ff", "255"},
      {"%101", "5"},
      {"7%1", "Garbage at the end of the input."},   // 7 and the binary literal %1
      {"'A'", "65"},
      {"'AB'", "16706"},
      {"''", "0"},
      {"'\xC3\xA4'", "228"},                          // UTF-8 "ä"
      {"1.5e2", "f:150"},
      {"0.1", "f:0.10000000000000001"},
      {"2.5E-1", "f:0.25"},
      {"3e+2", "f:300"},
      {"12345678901234567890", "-6101065172474983726"},   // wraps in 64 bits
      {"\"abc\"", "\"abc\""},
      {"\"Gr\xC3\xB6\xC3\x9F" "e\"", "\"Gr\xF6\xDF" "e\""},       // UTF-8 read into the ANSI set
      {"\"\xF6\"", "\"\xF6\""},                        // not UTF-8: kept byte for byte
      {"  42\t", "42"},
      {"abc.l", "Variable not found: 'abc'."},         // type suffix is not part of the name
  });
}

TEST_F(Evaluator, MalformedLiteralsAndTokens) {
  ExpectAll({
      {"1.", "Malformed decimal value"},
      {"1.e5", "Malformed decimal value"},
      {"1e", "Malformed decimal value"},
      {"1e+", "Malformed decimal value"},
      {"$", "Unexpected token: '$'"},
      {"$G", "Unexpected token: '$'"},
      {"$FG", "Malformed hexadecimal value."},
      {"$1_", "Malformed hexadecimal value."},
      {"%102", "Malformed binary value."},
      {"%1a", "Malformed binary value."},
      {"'ab", "Unterminated character literal"},
      {"\"abc", "Unterminated string literal"},
      {"1<2", "Unsupported token: '<'"},
      {"1>2", "Unsupported token: '>'"},
      {"1 ^ 2", "Unsupported input character: '^'"},
      {"1;", "Unsupported input character: ';'"},
      {".5", "Unsupported input character: '.'"},
      {"", "Unexpected Token."},
      {")", "Unexpected Token."},
      {"1 2", "Garbage at the end of the input."},
      {"1+2)", "Garbage at the end of the input."},
      {"(1+2", "Unmatched '('."},
      {"((1)", "Unmatched '('."},
      {"1+", "This operator expects another argument."},
      {"1**2", "This operator expects another argument."},
      {"2*(3+)", "This operator expects another argument."},
      {"4/", "This operator expects another argument."},
      {"@", "An identifier is expected after '@'."},
      {"@1", "An identifier is expected after '@'."},
      {"#", "A constant name is expected after '#'."},
      {"#5", "A constant name is expected after '#'."},
      {"?", "An identifier is expected after '?'."},
      {"1/0", "Division by zero forbidden."},
      {"1 % 0", "Modulo zero is forbidden (result in a zero divide)."},
  });
}

TEST_F(Evaluator, StringsAndFloats) {
  ExpectAll({
      {"\"Velmora\"+\" \"+\"v 1.0\"", "\"Velmora v 1.0\""},
      {"\"a\"*2", "Cannot combine numeric value with a string."},
      {"2+\"a\"", "Cannot combine numeric value with a string."},
      {"\"a\"-\"b\"", "Only the '+'-Operator can be used with strings."},
      {"\"a\"|\"b\"", "Only the '+'-Operator can be used with strings."},
      {"-\"a\"", "This operator cannot be used with strings."},
      {"~\"a\"", "This operator cannot be used with strings."},
      {"+\"a\"", "This operator cannot be used with strings."},
      {"1+0.5", "f:1.5"},
      {"3/2.0", "f:1.5"},
      {"3/2", "1"},
      {"-1.5", "f:-1.5"},
      {"1.5<<1", "Binary Operators cannot be used with floats."},
      {"1|0.5", "Binary Operators cannot be used with floats."},
      {"2.5%2", "Binary Operators cannot be used with floats."},
      {"~1.5", "The binary Operators cannot be used with floats."},
      {"Half*4", "f:2"},
      {"Ratio+Count", "f:44.5"},
  });
}

TEST_F(Evaluator, ConstantsAndLabels) {
  ExpectAll({
      {"#Answer+1", "43"},
      {"#answer", "42"},
      {"#Pi*2", "f:6.5"},
      {"#Title$+\"!\"", "\"Velmora!\""},
      {"#Title", "\"Velmora\""},
      {"#Nirgends", "Constant not found: '#Nirgends'."},
      {"?Nirgends", "Label not found: '?Nirgends'."},
  });
  EXPECT_EQ(Evaluate("?Start"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::LabelTarget)));
  EXPECT_EQ(Evaluate("?start"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::LabelTarget)));
}

TEST_F(Evaluator, VariablesOfEveryKind) {
  ExpectAll({
      {"Count", "42"},
      {"count*2", "84"},
      {"Big", "5000000000"},
      {"Small", "-1"},
      {"Letter", "200"},
      {"Short", "-2"},
      {"Size", "7"},
      {"Ratio", "f:2.5"},
      {"Half", "f:0.5"},
      {"Name$", "\"Velmora\""},
      {"Name", "\"Velmora\""},               // the "$" may be dropped
      {"Count$", "Variable not found: 'Count$'."},
      {"Empty$", "\"\""},
      {"Fixed$", "\"ABCD\""},                 // four characters, no terminator
      {"BadText$", "The string pointer does not point to valid memory."},
      {"Server", "struct:Connect"},
      {"Calls", "Variable not found: 'Calls'."},   // a static of a procedure
      {"Nirgends", "Variable not found: 'Nirgends'."},
      {"*Nirgends", "Variable not found: '*Nirgends'."},
      {"ServerPointer", "Variable not found: 'ServerPointer'."},   // a pointer is named with "*"
  });
  EXPECT_EQ(Evaluate("*RawPointer"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::Count)));
  EXPECT_EQ(Evaluate("PeekL(*RawPointer)+1"), "43");
  EXPECT_EQ(Evaluate("@Count"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::Count)));
  EXPECT_EQ(Evaluate("@Server\\port"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::Server.port)));
  EXPECT_EQ(Evaluate("@Rechne()"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::RechneCode)));
  EXPECT_EQ(Evaluate("@Numbers()"), std::to_string(reinterpret_cast<intptr_t>(evaltest::NumberData)));
  EXPECT_EQ(Evaluate("@Grid(1,2)"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::GridData[1][2])));
  EXPECT_EQ(Evaluate("@Undimensioned()"), "The array is not dimensioned yet.");
  EXPECT_EQ(Evaluate("@Len(\"x\")"), "A library function has no address.");
  EXPECT_EQ(Evaluate("@len"), "A library function has no address.");
  EXPECT_EQ(Evaluate("@Nirgends"), "Variable not found: 'Nirgends'.");
  EXPECT_EQ(Evaluate("@*RawPointer"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::RawPointer)));
  EXPECT_EQ(Evaluate("@Items()"), std::to_string(reinterpret_cast<intptr_t>(&evaltest::ItemElements[1].value)));
  EXPECT_EQ(Evaluate("Rechne()"), "This function cannot be called here.");
}

TEST_F(Evaluator, LocalsOfTheInnermostProcedureComeFirst) {
  ExpectAll({
                {"Count", "7"},
                {"Local$", "\"lokal\""},
                {"Calls", "3"},
                {"Table(1)", "200"},
                {"Big", "5000000000"},   // a global seen from inside
            },
            &evaltest::InsideRechne);
  EXPECT_EQ(Evaluate("Local$"), "Variable not found: 'Local$'.");
  // The calling thread's own record: outside every procedure here.
  kx::EvaluationResult result;
  kx::EvaluateExpression("Count", &result);
  EXPECT_EQ(result.integer, 42);
  kx::FreeEvaluation(&result);
}

TEST_F(Evaluator, Arrays) {
  ExpectAll({
      {"Numbers(0)", "10"},
      {"Numbers(4)+Numbers(1)", "25"},
      {"Numbers(1+2)", "13"},
      {"Numbers(#Answer-40)", "12"},
      {"Grid(2,3)", "23"},
      {"Grid(1, 0)", "10"},
      {"Reals(1)", "f:0.75"},
      {"Points(1)\\y", "4"},
      {"Points(1)", "struct:Point"},
      {"Numbers(5)", "Index out of bounds."},
      {"Numbers(-1)", "Index out of bounds."},
      {"Grid(3,0)", "Index out of bounds."},
      {"Grid(0,4)", "Index out of bounds."},
      {"Numbers(1.0)", "Only integers are allowed as index."},
      {"Numbers(\"1\")", "Only integers are allowed as index."},
      {"Grid(1)", "Too few array dimensions."},
      {"Numbers()", "Too few array dimensions."},
      {"Numbers(1,2)", "Too many array dimensions."},
      {"Numbers", "An array needs '(' and its indexes."},
      {"Numbers(1", "Unmatched '('."},
      {"Shapeless(1)", "The array has no dimensions."},
      {"Undimensioned(0)", "The array is not dimensioned yet."},
      {"Nirgends(1)", "Array or LinkedList not found: 'Nirgends'."},
  });
}

TEST_F(Evaluator, Lists) {
  ExpectAll({
      {"Items()", "6"},
      {"Items( )*2", "12"},
      {"Items", "A linked list needs '()'."},
      {"Items(1)", "A linked list needs '()'."},
      {"NoCurrent()", "The linked list has no current element."},
      {"Unmade()", "The linked list has no current element."},
  });
  evaltest::Items.current = &evaltest::ItemElements[0].link;
  EXPECT_EQ(Evaluate("Items()"), "5");
}

TEST_F(Evaluator, StructureFields) {
  ExpectAll({
      {"Server\\serverid", "9"},
      {"Server\\ServerID+1", "10"},
      {"Server\\ip$", "\"127.0.0.1\""},
      {"Server\\ip", "\"127.0.0.1\""},
      {"Server\\port", "21"},
      {"Server\\code", "\"FTP1\""},
      {"Server\\guid\\Data1", "4660"},
      {"Server\\guid\\Data4[7]", "21"},
      {"Server\\guid\\Data4[2+1]", "9"},
      {"Server\\guid", "struct:GUID"},
      {"Server\\next\\serverid", "10"},
      {"Server\\next\\next\\serverid", "The structure pointer is null."},
      {"*ServerPointer\\port", "21"},
      {"*ServerPointer\\guid\\Data4[1]", "3"},
      {"*NullPointer\\port", "The structure pointer is null."},
      {"*BadPointer\\port", "The structure pointer does not point to valid memory."},
      {"Server\\", "A structure field name is expected after '\\'."},
      {"Server\\1", "A structure field name is expected after '\\'."},
      {"Server\\nirgends", "Structure field not found: 'nirgends'."},
      {"Count\\x", "The variable is not a structure."},
      {"Server\\port\\x", "The variable is not a structure."},
      {"Server\\port[1]", "The structure field is not an array."},
      {"Server\\guid\\Data4[1", "Unmatched '['."},
      {"Server\\guid\\Data4[8]", "Index out of bounds."},
      {"Server\\guid\\Data4[0.5]", "Only integers are allowed as index."},
      {"Server+1", "Unexpected Token."},
  });
}

TEST_F(Evaluator, LibraryFunctions) {
  ExpectAll({
      {"Len(\"abc\")", "3"},
      {"len(Name$)", "7"},
      {"LEN(\"\")", "0"},
      {"Left(Name$, 3)", "\"Vel\""},
      {"Right(\"abcdef\", 2)", "\"ef\""},
      {"Mid(\"abcdef\", 2, 3)", "\"bcd\""},
      {"Mid(\"abcdef\", 4)", "\"def\""},
      {"UCase(\"abc\xE4\")", "\"ABC\xC4\""},
      {"LCase(\"ABC\")", "\"abc\""},
      {"Trim(\"  x  \")", "\"x\""},
      {"LTrim(\"  x  \")", "\"x  \""},
      {"RTrim(\"--x--\", \"-\")", "\"--x\""},
      {"LSet(\"ab\", 4)", "\"ab  \""},
      {"RSet(\"ab\", 4, \"0\")", "\"00ab\""},
      {"LSet(\"abcdef\", 3)", "\"abc\""},
      {"Space(3)+\"|\"", "\"   |\""},
      {"Str(-42)", "\"-42\""},
      {"Str(2.5)", "\"2\""},
      {"StrF(1.5, 2)", "\"1.50\""},
      {"StrD(2.25)", "\"2.250000\""},
      {"StrU(-1, 1)", "\"255\""},
      {"StrU(-1, 5)", "\"4294967295\""},
      {"Hex(255)", "\"FF\""},
      {"Hex(-1)", "\"FFFFFFFFFFFFFFFF\""},
      {"Bin(5)", "\"101\""},
      {"Chr(65)+Chr(66)", "\"AB\""},
      {"Asc(\"A\")", "65"},
      {"Val(\"$10\")+Val(\" 5\")", "21"},
      {"ValD(\"2.5\")", "f:2.5"},
      {"ValF(\"0.1\")", "f:0.10000000149011612"},
      {"CountString(\"a,b,c\", \",\")", "2"},
      {"FindString(\"abcabc\", \"c\", 4)", "6"},
      {"FindString(\"abc\", \"x\")", "0"},
      {"RemoveString(\"aXbxc\", \"x\", 1)", "\"abc\""},
      {"ReplaceString(\"a.b.c\", \".\", \"::\")", "\"a::b::c\""},
      {"ReplaceString(\"a.b\", \".\", \"-\", 2)", "The replace mode 2 is not supported here."},
      {"StringByteLength(\"\xE4\", 2)", "2"},
      {"StringField(\"a,b,c\", 2, \",\")", "\"b\""},
      {"StringField(\"a,b,c\", 4, \",\")", "\"\""},
      {"Abs(-2)", "f:2"},
      {"Int(-2.7)", "-2"},
      {"Int(5)", "5"},
      {"Pow(2, 10)", "f:1024"},
      {"Sqr(16)", "f:4"},
      {"Round(2.5, 0)", "f:2"},
      {"Round(2.1, 1)", "f:3"},
      {"Round(2.5, 2)", "f:3"},
      {"Int(Log10(1000)+0.5)", "3"},
      {"Cos(0)", "f:1"},
      {"Len(\"ab\"+\"c\")*2", "6"},
  });
}

TEST_F(Evaluator, LibraryFunctionArgumentErrors) {
  ExpectAll({
      {"Len", "A function call needs '(' and ')'."},
      {"Len(\"a\"", "A function call needs '(' and ')'."},
      {"Len(\"a\" 2)", "A function call needs '(' and ')'."},
      {"Len()", "Too few arguments for the function."},
      {"Left(\"a\")", "Too few arguments for the function."},
      {"Len(\"a\", \"b\")", "Too many arguments for the function."},
      {"ReplaceString(\"a\", \"b\", \"c\", 0, 1, 2)", "Too many arguments for the function."},
      {"Len(5)", "A string argument is expected."},
      {"Left(5, 1)", "A string argument is expected."},
      {"Sin(\"x\")", "A numeric argument is expected."},
      {"Left(\"abc\", \"1\")", "A numeric argument is expected."},
      {"Sin(Server)", "A numeric argument is expected."},
      {"PeekL(0)", "*MemoryBuffer does not point to valid memory."},
      {"PeekQ(16)", "*MemoryBuffer does not point to valid memory."},
      {"PeekS(16)", "*MemoryBuffer does not point to valid string memory."},
      {"CompareMemory(@Count, 8, 4)", "*MemoryID2 does not point to valid memory."},
      {"CompareMemoryString(16, @Count)", "*String1 does not point to valid string memory."},
      {"MemoryStringLength(0)", "*String does not point to valid string memory."},
      {"MemorySize(@Count)", "*MemoryID does not point to valid memory."},
  });
}

TEST_F(Evaluator, MemoryFunctionsReadTheProgram) {
  char text[] = "Hallo";
  void* block = kx::AllocateBlock(24);
  auto address = [](const void* p) { return std::to_string(reinterpret_cast<intptr_t>(p)); };
  EXPECT_EQ(Evaluate("PeekS(" + address(text) + ")"), "\"Hallo\"");
  EXPECT_EQ(Evaluate("PeekS(" + address(text) + ", 2)"), "\"Ha\"");
  EXPECT_EQ(Evaluate("PeekB(" + address(&evaltest::Small) + ")"), "-1");
  EXPECT_EQ(Evaluate("PeekC(" + address(&evaltest::Small) + ")"), "255");
  EXPECT_EQ(Evaluate("PeekW(@Short)"), "-2");
  EXPECT_EQ(Evaluate("PeekQ(@Big)"), "5000000000");
  EXPECT_EQ(Evaluate("PeekD(@Ratio)"), "f:2.5");
  EXPECT_EQ(Evaluate("PeekF(@Half)"), "f:0.5");
  EXPECT_EQ(Evaluate("PeekI(@Size)"), "7");
  EXPECT_EQ(Evaluate("MemoryStringLength(" + address(text) + ")"), "5");
  EXPECT_EQ(Evaluate("CompareMemory(@Count, @Count, 4)"), "1");
  EXPECT_EQ(Evaluate("CompareMemoryString(" + address(text) + ", " + address("hallo") + ", 1)"), "0");
  EXPECT_EQ(Evaluate("CompareMemoryString(" + address(text) + ", " + address("hallo") + ")"), "-1");
  EXPECT_EQ(Evaluate("MemorySize(" + address(block) + ")"), "24");
  kx::FreeBlock(block);
}

TEST_F(Evaluator, LiteralFlag) {
  auto literal = [](const char* text) {
    kx::EvaluationResult result;
    kx::EvaluateExpression(text, &result, &evaltest::AtTopLevel);
    int flag = result.literal;
    kx::FreeEvaluation(&result);
    return flag;
  };
  EXPECT_EQ(literal("1+2*#Answer"), 1);
  EXPECT_EQ(literal("Len(\"abc\")+(1<<2)"), 1);
  EXPECT_EQ(literal("1+Count"), 0);
  EXPECT_EQ(literal("Len(Name$)"), 0);
  EXPECT_EQ(literal("PeekL(@Count)"), 0);
  EXPECT_EQ(literal("?Start"), 0);
}

TEST_F(Evaluator, SetAssignsAndReportsTheStoredValue) {
  auto set = [](const char* text, const kx::DebuggerRecord* thread = &evaltest::AtTopLevel) {
    kx::EvaluationResult result;
    kx::AssignExpression(text, &result, thread);
    std::string described = evaltest::Describe(result);
    kx::FreeEvaluation(&result);
    return described;
  };
  EXPECT_EQ(set("Count = 5*5"), "25");
  EXPECT_EQ(evaltest::Count, 25);
  EXPECT_EQ(set("Count=Count+1"), "26");
  EXPECT_EQ(set("Small = 300"), "44");          // a Byte keeps its low 8 bits
  EXPECT_EQ(set("Count = 2.6"), "3");
  EXPECT_EQ(set("Ratio = 1"), "f:1");
  EXPECT_EQ(set("Half = 0.25"), "f:0.25");
  EXPECT_EQ(set("Name$ = \"neu\" + \"er\""), "\"neuer\"");
  EXPECT_STREQ(evaltest::Name, "neuer");
  EXPECT_EQ(set("Fixed$ = \"xy\""), "\"xy\"");
  EXPECT_EQ(set("Fixed$ = \"123456\""), "\"1234\"");
  EXPECT_EQ(set("Server\\port = 2121"), "2121");
  EXPECT_EQ(evaltest::Server.port, 2121);
  EXPECT_EQ(set("Server\\ip$ = \"::1\""), "\"::1\"");
  EXPECT_STREQ(evaltest::Server.ip, "::1");
  EXPECT_EQ(set("*ServerPointer\\guid\\Data4[2] = -5"), "-5");
  EXPECT_EQ(set("Grid(2, 1) = 'A'"), "65");
  EXPECT_EQ(evaltest::GridData[2][1], 65);
  EXPECT_EQ(set("Items() = 99"), "99");
  EXPECT_EQ(set("Count = 1", &evaltest::InsideRechne), "1");
  EXPECT_EQ(evaltest::RechneFrame.count, 1);
  EXPECT_EQ(evaltest::Count, 3);

  EXPECT_EQ(set("Nirgends = 1"), "Cannot locate target variable.");
  EXPECT_EQ(set("Server = 1"), "Cannot assign a value to a structure.");
  EXPECT_EQ(set("Count ="), "Missing a value to assign.");
  EXPECT_EQ(set("Count"), "Missing a value to assign.");
  EXPECT_EQ(set("Name$ = 5"), "Can't write a numerical value into a string variable.");
  EXPECT_EQ(set("Count = \"5\""), "Can't write a string into a numerical variable.");
  EXPECT_EQ(set("Count = 1+"), "This operator expects another argument.");
  EXPECT_EQ(set("Numbers(9) = 1"), "Index out of bounds.");
  EXPECT_EQ(set("Len(\"a\") = 1"), "This function cannot be called here.");
  EXPECT_EQ(set("1 = 1"), "An identifier is expected.");
  EXPECT_EQ(set("Count 1 = 2"), "Garbage at the end of the input.");
  EXPECT_EQ(evaltest::Count, 3);
}

TEST_F(Evaluator, ResidentConstantFiles) {
  char directory[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  std::string install = std::string(directory) + "kx_evaluator_residents\\";
  CreateDirectoryA(install.c_str(), nullptr);
  CreateDirectoryA((install + "Residents").c_str(), nullptr);
  std::string file = install + "Residents\\Windows.res";
  FILE* out = std::fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("; resident constants\r\n#MAX_PATH = 260\r\n#Pi = 1.0\r\n#Greeting$ = \"Hallo\"\r\n#Neg = -$10\r\nbroken\n", out);
  std::fclose(out);
  std::string previous = kx::InstallPath();
  kx::SetInstallPath(install.c_str());
  EXPECT_EQ(Evaluate("#MAX_PATH+1"), "261");
  EXPECT_EQ(Evaluate("#max_path"), "260");
  EXPECT_EQ(Evaluate("#Pi"), "f:3.25");   // the program's own table comes first
  EXPECT_EQ(Evaluate("#Greeting$"), "\"Hallo\"");
  EXPECT_EQ(Evaluate("#Neg"), "-16");
  EXPECT_EQ(Evaluate("#broken"), "Constant not found: '#broken'.");
  kx::SetInstallPath(previous.c_str());
  EXPECT_EQ(Evaluate("#MAX_PATH"), "Constant not found: '#MAX_PATH'.");
  DeleteFileA(file.c_str());
  RemoveDirectoryA((install + "Residents").c_str());
  RemoveDirectoryA(install.c_str());
}

TEST_F(Evaluator, TheSystemErrorCodeSurvives) {
  SetLastError(1234);
  Evaluate("PeekL(0)+Nirgends");
  EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace
