// The tables the evaluator reads besides the global variable table: structure
// descriptions, the variable, array and list tables of procedures, the
// global arrays and lists, and the program's constants and labels.  The build
// stores them in the program's data; the records an array or a list variable
// holds at run time are defined here too, because the debugger reads them.
// The structure pointer of a global variable (GlobalVariable::structure)
// and the procedure tables (ProcedureEntry::symbols) are of these kinds.
#pragma once

#include <cstdint>

namespace kx {

struct StructureDescription;

// One field of a structure.
struct StructureField {
  uint8_t type;                 // type code; bit 7 marks a pointer field
  const char* name;             // source name, without "*" ("ip", "serverid")
  int32_t offset;               // from the start of the structure
  const StructureDescription* structure;   // kind 7 (also a pointer to one)
  int32_t elements;             // static array field: its element count; 0 = none
  int32_t fixedLength;          // kind 10: characters
};

struct StructureDescription {
  const char* name;             // "Connect"
  int32_t size;                 // bytes of one structure
  const StructureField* fields;
  int32_t fieldCount;
};

// Scope codes of procedure tables.
constexpr uint8_t ScopeGlobal = 0, ScopeLocal = 1, ScopeStatic = 2, ScopeShared = 3;
// Type code that ends a procedure's table.
constexpr uint8_t SymbolTableEnd = 255;

// An entry of a procedure's variable, array or list table, and of the global
// array and list tables.  For arrays and lists the type is the element's.
struct SymbolEntry {
  uint8_t type;                 // type code, bit 7 a pointer; 255 ends a procedure table
  uint8_t scope;                // ScopeGlobal ...
  const char* name;             // as stored: "v_" or "p_" + source name ("$" kept)
  intptr_t location;            // address; for ScopeLocal the offset in the frame
  const StructureDescription* structure;   // kind 7
  int32_t fixedLength;          // kind 10
  uint8_t dimensions;           // arrays: their dimension count
};

// A procedure's own tables (ProcedureEntry::symbols): [0] variables,
// [1] arrays, [2] lists, each a SymbolEntry list ended by type 255 (or
// nullptr).  Locations of scope 1 are added to the frame the procedure gave
// DebuggerProcedureEnter.
constexpr int ProcedureVariables = 0, ProcedureArrays = 1, ProcedureLists = 2;

// The record an array variable is: its storage and the size of each
// dimension (highest index + 1), elements in row order (the last index
// runs fastest).
constexpr int32_t MaxArrayDimensions = 8;
struct ArrayRecord {
  void* elements;               // nullptr until the array is dimensioned
  int32_t sizes[MaxArrayDimensions];
};

// A linked list variable: elements are a ListElement followed by the data.
struct ListElement {
  ListElement* next;
  ListElement* previous;
};
struct ListRecord {
  int32_t made;                 // 0 until the list is made
  int32_t count;
  int32_t currentIndex;         // -1 without a current element
  ListElement* first;
  ListElement* last;
  ListElement* current;         // nullptr without a current element
};
inline void* ListElementData(ListElement* element) { return element + 1; }

// Constant type codes.
constexpr uint8_t ConstantInteger = 3, ConstantFloat = 5, ConstantString = 6;

struct ConstantSymbol {
  const char* name;             // without "#" ("PB_Any", "Name$")
  uint8_t type;                 // ConstantInteger ...
  int64_t integer;
  double number;
  const char* text;
};

struct LabelSymbol {
  const char* name;
  const void* address;
};

// The program's global arrays and lists, constants and labels.
struct ProgramTables {
  const SymbolEntry* arrays;
  int32_t arrayCount;
  const SymbolEntry* lists;
  int32_t listCount;
  const ConstantSymbol* constants;
  int32_t constantCount;
  const LabelSymbol* labels;
  int32_t labelCount;
};

// Bytes one element of the type takes (structures: their size, fixed strings:
// their length); 0 for kinds that have no element size.
int32_t ElementSize(uint8_t type, const StructureDescription* structure, int32_t fixedLength);

}  // namespace kx
