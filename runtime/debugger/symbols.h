// The program's debug symbol tables: procedures, globals, source files and
// executable lines.  The application provides them; the front-ends read them.
#pragma once

#include <cstdint>

namespace kx {

// Type codes.
constexpr uint8_t TypeByte = 1, TypeWord = 3, TypeLong = 5, TypeStructure = 7, TypeString = 8,
                  TypeFloat = 9, TypeFixedString = 10, TypeChar = 11, TypeDouble = 12,
                  TypeQuad = 13, TypeList = 14, TypeArray = 15, TypeInteger = 21,
                  TypePointerFlag = 0x80;
const char* TypeName(uint8_t type);   // "Long", "String", ...; "" for others

struct ProcedureArgument {
  uint8_t type;
  int32_t offset;      // offset of the argument in the procedure's frame
};

struct ProcedureEntry {
  uint8_t argumentCount;
  const ProcedureArgument* arguments;
  uint8_t resultType;
  const char* name;
  const void* code;           // the procedure's code address
  const void* symbols[3];     // the procedure's own symbol tables
  uint16_t index;
};

struct GlobalVariable {
  uint8_t type;
  const char* name;           // as stored: "v_" + source name ("$" kept)
  void* address;
  const void* structure;      // description for a structure, else nullptr
  int32_t fixedLength;        // kind 10 (fixed-length string): its length
};

struct ExecutableLines {
  int32_t file;               // source file index
  const int32_t* lines;       // ascending line numbers (from 1)
  int32_t count;
};

struct DebugSymbols {
  const char* sourceDirectory;
  const char* mainSource;
  const char* const* sourceFiles;   // included files, main source first
  int32_t sourceFileCount;
  const ProcedureEntry* procedures;
  int32_t procedureCount;
  const GlobalVariable* globals;
  int32_t globalCount;
  const ExecutableLines* lines;
  int32_t lineTableCount;
  const struct ProgramTables* tables;   // arrays, lists, constants, labels (evaluator_symbols.h)
};

// Installs the program's symbol tables (before DebuggerStart or in tests).
void SetDebugSymbols(const DebugSymbols* symbols);
const DebugSymbols* CurrentDebugSymbols();
// Procedure by code address / by index; nullptr if there is none.
const ProcedureEntry* FindProcedureByAddress(const void* code);
const ProcedureEntry* FindProcedureByIndex(int32_t index);
// Size of the by-index procedure table.
int32_t ProcedureCount();
// File name of a line code's source file ("" if unknown).
const char* SourceFileName(int32_t line);
// First executable line code at or after line in the same file; -1 past the
// file's last executable line.  Without line tables every line is executable.
int32_t ExecutableLineAtOrAfter(int32_t line);

}  // namespace kx
