// A test program's debug symbol tables for the evaluator tests: globals of
// every kind, a structure with a nested structure, a static array field and
// pointers, arrays of one and two dimensions (one not dimensioned yet), lists
// with and without a current element, a procedure with locals, constants and
// a label.  Install() puts the tables in place and returns the stopped
// thread's record inside the procedure "Rechne".
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/core/strings.h"
#include "runtime/debugger/checks.h"
#include "runtime/debugger/evaluator.h"

namespace evaltest {

struct Guid {
  int32_t data1;
  int8_t data4[8];
};

struct Connect {
  int32_t serverid;
  char* ip;
  int16_t port;
  Guid guid;
  Connect* next;
  char code[4];
};

struct Point {
  int32_t x;
  int32_t y;
};

inline const kx::StructureField GuidFields[] = {
    {kx::TypeLong, "Data1", offsetof(Guid, data1), nullptr, 0, 0},
    {kx::TypeByte, "Data4", offsetof(Guid, data4), nullptr, 8, 0},
};
inline const kx::StructureDescription GuidStructure = {"GUID", sizeof(Guid), GuidFields, 2};

extern const kx::StructureDescription ConnectStructure;
inline const kx::StructureField ConnectFields[] = {
    {kx::TypeLong, "serverid", offsetof(Connect, serverid), nullptr, 0, 0},
    {kx::TypeString, "ip$", offsetof(Connect, ip), nullptr, 0, 0},
    {kx::TypeWord, "port", offsetof(Connect, port), nullptr, 0, 0},
    {kx::TypeStructure, "guid", offsetof(Connect, guid), &GuidStructure, 0, 0},
    {kx::TypeStructure | kx::TypePointerFlag, "next", offsetof(Connect, next), &ConnectStructure, 0, 0},
    {kx::TypeFixedString, "code", offsetof(Connect, code), nullptr, 0, 4},
};
inline const kx::StructureDescription ConnectStructure = {"Connect", sizeof(Connect), ConnectFields, 6};

inline const kx::StructureField PointFields[] = {
    {kx::TypeLong, "x", offsetof(Point, x), nullptr, 0, 0},
    {kx::TypeLong, "y", offsetof(Point, y), nullptr, 0, 0},
};
inline const kx::StructureDescription PointStructure = {"Point", sizeof(Point), PointFields, 2};

// ---- the program's data ----
inline int32_t Count = 42;
inline int64_t Big = INT64_C(5000000000);
inline int8_t Small = -1;
inline uint8_t Letter = 200;
inline int16_t Short = -2;
inline intptr_t Size = 7;
inline double Ratio = 2.5;
inline float Half = 0.5f;
inline char* Name = nullptr;          // "Velmora", a string-heap block
inline char* Empty = nullptr;         // the empty string
inline char* BadText = reinterpret_cast<char*>(16);
inline char Fixed[4] = {'A', 'B', 'C', 'D'};
inline Connect Server = {};
inline Connect Other = {};
inline Connect* ServerPointer = &Server;
inline Connect* NullPointer = nullptr;
inline Connect* BadPointer = reinterpret_cast<Connect*>(32);
inline int32_t* RawPointer = &Count;

inline int32_t NumberData[5] = {10, 11, 12, 13, 14};
inline kx::ArrayRecord Numbers = {NumberData, {5}};
inline int16_t GridData[3][4] = {{0, 1, 2, 3}, {10, 11, 12, 13}, {20, 21, 22, 23}};
inline kx::ArrayRecord Grid = {GridData, {3, 4}};
inline kx::ArrayRecord Undimensioned = {nullptr, {}};
inline Point PointData[2] = {{1, 2}, {3, 4}};
inline kx::ArrayRecord Points = {PointData, {2}};
inline double RealData[2] = {0.25, 0.75};
inline kx::ArrayRecord Reals = {RealData, {2}};

struct LongElement {
  kx::ListElement link;
  int32_t value;
};
inline LongElement ItemElements[2] = {};
inline kx::ListRecord Items = {};
inline kx::ListRecord NoCurrent = {};
inline kx::ListRecord Unmade = {};

// The frame of "Rechne": a local Long "Count" (shadows the global) and a
// local string.
struct Frame {
  int32_t count;
  char* local;
};
inline Frame RechneFrame = {7, nullptr};
inline int32_t Calls = 3;
inline int32_t TableData[2] = {100, 200};
inline kx::ArrayRecord Table = {TableData, {2}};

inline const kx::GlobalVariable Globals[] = {
    {kx::TypeLong, "v_Count", &Count, nullptr, 0},
    {kx::TypeQuad, "v_Big", &Big, nullptr, 0},
    {kx::TypeByte, "v_Small", &Small, nullptr, 0},
    {kx::TypeChar, "v_Letter", &Letter, nullptr, 0},
    {kx::TypeWord, "v_Short", &Short, nullptr, 0},
    {kx::TypeInteger, "v_Size", &Size, nullptr, 0},
    {kx::TypeDouble, "v_Ratio", &Ratio, nullptr, 0},
    {kx::TypeFloat, "v_Half", &Half, nullptr, 0},
    {kx::TypeString, "v_Name$", &Name, nullptr, 0},
    {kx::TypeString, "v_Empty$", &Empty, nullptr, 0},
    {kx::TypeString, "v_BadText$", &BadText, nullptr, 0},
    {kx::TypeFixedString, "v_Fixed$", Fixed, nullptr, 4},
    {kx::TypeStructure, "v_Server", &Server, &ConnectStructure, 0},
    {kx::TypeStructure | kx::TypePointerFlag, "p_ServerPointer", &ServerPointer, &ConnectStructure, 0},
    {kx::TypeStructure | kx::TypePointerFlag, "p_NullPointer", &NullPointer, &ConnectStructure, 0},
    {kx::TypeStructure | kx::TypePointerFlag, "p_BadPointer", &BadPointer, &ConnectStructure, 0},
    {kx::TypeLong | kx::TypePointerFlag, "p_RawPointer", &RawPointer, nullptr, 0},
};

inline const kx::SymbolEntry Arrays[] = {
    {kx::TypeLong, 0, "v_Numbers", reinterpret_cast<intptr_t>(&Numbers), nullptr, 0, 1},
    {kx::TypeWord, 0, "v_Grid", reinterpret_cast<intptr_t>(&Grid), nullptr, 0, 2},
    {kx::TypeLong, 0, "v_Undimensioned", reinterpret_cast<intptr_t>(&Undimensioned), nullptr, 0, 1},
    {kx::TypeLong, 0, "v_Shapeless", reinterpret_cast<intptr_t>(&Numbers), nullptr, 0, 0},
    {kx::TypeStructure, 0, "v_Points", reinterpret_cast<intptr_t>(&Points), &PointStructure, 0, 1},
    {kx::TypeDouble, 0, "v_Reals", reinterpret_cast<intptr_t>(&Reals), nullptr, 0, 1},
};
inline const kx::SymbolEntry Lists[] = {
    {kx::TypeLong, 0, "v_Items", reinterpret_cast<intptr_t>(&Items), nullptr, 0, 0},
    {kx::TypeLong, 0, "v_NoCurrent", reinterpret_cast<intptr_t>(&NoCurrent), nullptr, 0, 0},
    {kx::TypeLong, 0, "v_Unmade", reinterpret_cast<intptr_t>(&Unmade), nullptr, 0, 0},
};

inline const kx::SymbolEntry RechneVariables[] = {
    {kx::TypeLong, kx::ScopeLocal, "v_Count", offsetof(Frame, count), nullptr, 0, 0},
    {kx::TypeString, kx::ScopeLocal, "v_Local$", offsetof(Frame, local), nullptr, 0, 0},
    {kx::TypeLong, kx::ScopeStatic, "v_Calls", reinterpret_cast<intptr_t>(&Calls), nullptr, 0, 0},
    {kx::SymbolTableEnd},
};
inline const kx::SymbolEntry RechneArrays[] = {
    {kx::TypeLong, kx::ScopeStatic, "v_Table", reinterpret_cast<intptr_t>(&Table), nullptr, 0, 1},
    {kx::SymbolTableEnd},
};

inline int RechneCode() { return 0; }
inline const kx::ProcedureEntry Procedures[] = {
    {0, nullptr, kx::TypeLong, "Rechne", reinterpret_cast<const void*>(&RechneCode),
     {RechneVariables, RechneArrays, nullptr}, 0},
};

inline const kx::ConstantSymbol Constants[] = {
    {"Answer", kx::ConstantInteger, 42, 0, nullptr},
    {"Pi", kx::ConstantFloat, 0, 3.25, nullptr},
    {"Title$", kx::ConstantString, 0, 0, "Velmora"},
};
inline int LabelTarget = 0;
inline const kx::LabelSymbol Labels[] = {{"Start", &LabelTarget}};

inline const kx::ProgramTables Tables = {Arrays, 6, Lists, 3, Constants, 3, Labels, 1};
inline const char* const SourceFiles[] = {"Velmora.kx"};
inline const kx::DebugSymbols Symbols = {"C:\\src\\", "Velmora.kx", SourceFiles, 1, Procedures, 1,
                                         Globals, int32_t(sizeof Globals / sizeof Globals[0]),
                                         nullptr, 0, &Tables};

inline kx::CallStackEntry RechneCall = {0, &RechneFrame, 0, nullptr};
// The stopped thread inside "Rechne", and one outside every procedure.
inline kx::DebuggerRecord InsideRechne = {0, kx::StateBreakpoint, 0, 0, 0, 0, 0, 1, 1, &RechneCall};
inline kx::DebuggerRecord AtTopLevel = {0, kx::StateBreakpoint, 0, 0, 0, 0, 0, 0, 0, nullptr};

// Puts the data in its starting state and installs the tables.
inline void Install() {
  kx::AssignString(&Name, "Velmora");
  kx::AssignString(&Empty, nullptr);
  kx::AssignString(&RechneFrame.local, "lokal");
  RechneFrame.count = 7;
  Count = 42;
  Small = -1;
  Ratio = 2.5;
  Half = 0.5f;
  std::memcpy(Fixed, "ABCD", 4);
  Server.serverid = 9;
  kx::AssignString(&Server.ip, "127.0.0.1");
  Server.port = 21;
  Server.guid.data1 = 0x1234;
  for (int i = 0; i < 8; ++i) Server.guid.data4[i] = int8_t(i * 3);
  Server.next = &Other;
  std::memcpy(Server.code, "FTP1", 4);
  Other = {};
  Other.serverid = 10;
  Items = {1, 2, 1, &ItemElements[0].link, &ItemElements[1].link, &ItemElements[1].link};
  ItemElements[0].value = 5;
  ItemElements[1].value = 6;
  NoCurrent = {1, 2, -1, nullptr, nullptr, nullptr};
  Unmade = {};
  kx::SetDebugSymbols(&Symbols);
}

// A result as one text: integers in decimal, "f:" and the float, strings in
// double quotes, "struct:" and the structure's name, else the error message.
inline std::string Describe(const kx::EvaluationResult& r) {
  char text[64];
  switch (r.kind) {
    case kx::ValueInteger: return std::to_string(r.integer);
    case kx::ValueFloat: std::snprintf(text, sizeof text, "f:%.17g", r.number); return text;
    case kx::ValueString: return "\"" + std::string(r.text ? r.text : "") + "\"";
    case kx::ValueStructure: return std::string("struct:") + (r.structure ? r.structure->name : "?");
  }
  return r.message;
}

inline std::string Evaluate(const std::string& text, const kx::DebuggerRecord* thread = &AtTopLevel) {
  kx::EvaluationResult result;
  kx::EvaluateExpression(text.c_str(), &result, thread);
  std::string described = Describe(result);
  kx::FreeEvaluation(&result);
  return described;
}

}  // namespace evaltest
