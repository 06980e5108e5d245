// The program's debug symbol tables and the lookups over them.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/symbols.h"

namespace kx {

namespace {

const DebugSymbols* volatile g_symbols = nullptr;
std::vector<const ProcedureEntry*> g_byIndex;

}  // namespace

const char* TypeName(uint8_t type) {
  switch (type & 0x7F) {
    case TypeByte: return "Byte";
    case TypeWord: return "Word";
    case TypeLong: return "Long";
    case TypeStructure: return "Struct";
    case TypeString: return "String";
    case TypeFloat: return "Float";
    case TypeFixedString: return "Fixed";
    case TypeChar: return "Char";
    case TypeDouble: return "Double";
    case TypeQuad: return "Quad";
    case TypeList: return "List";
    case TypeArray: return "Array";
    default: return "";
  }
}

void SetDebugSymbols(const DebugSymbols* symbols) {
  g_symbols = symbols;
  g_byIndex.clear();
  if (symbols) {
    for (int32_t i = 0; i < symbols->procedureCount; ++i) {
      const ProcedureEntry& p = symbols->procedures[i];
      if (p.index >= g_byIndex.size()) g_byIndex.resize(p.index + 1, nullptr);
      g_byIndex[p.index] = &p;
    }
  }
  debugger::ResizeCallCounts(int32_t(g_byIndex.size()));
  debugger::BuildProfiler();
  debugger::RebuildBreakpointLines();
}

const DebugSymbols* CurrentDebugSymbols() { return g_symbols; }

const ProcedureEntry* FindProcedureByAddress(const void* code) {
  const DebugSymbols* symbols = g_symbols;
  if (!symbols || !code) return nullptr;
  for (int32_t i = 0; i < symbols->procedureCount; ++i) {
    if (symbols->procedures[i].code == code) return &symbols->procedures[i];
  }
  return nullptr;
}

const ProcedureEntry* FindProcedureByIndex(int32_t index) {
  if (index < 0 || size_t(index) >= g_byIndex.size()) return nullptr;
  return g_byIndex[index];
}

int32_t ProcedureCount() { return int32_t(g_byIndex.size()); }

const char* SourceFileName(int32_t line) {
  const DebugSymbols* symbols = g_symbols;
  if (!symbols || !symbols->sourceFiles || line == -1) return "";
  int32_t file = uint32_t(line) >> 24;
  if (file >= symbols->sourceFileCount) return "";
  const char* name = symbols->sourceFiles[file];
  return name ? name : "";
}

int32_t ExecutableLineAtOrAfter(int32_t line) {
  const DebugSymbols* symbols = g_symbols;
  if (!symbols || !symbols->lines || symbols->lineTableCount == 0) return line;
  int32_t file = uint32_t(line) >> 24;
  int32_t number = (line & 0xFFFFFF) + 1;
  for (int32_t t = 0; t < symbols->lineTableCount; ++t) {
    const ExecutableLines& table = symbols->lines[t];
    if (table.file != file) continue;
    const int32_t* end = table.lines + table.count;
    const int32_t* at = std::lower_bound(table.lines, end, number);
    if (at == end) return -1;
    return (file << 24) | (*at - 1);
  }
  return -1;
}

// StartThread's procedure must be one of the program's procedures, taking one
// integral argument and returning an integral result.  Without procedure
// tables (a program built without them) there is nothing to compare against.
void debugger::CheckThreadProcedure(const void* code) {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (!symbols || symbols->procedureCount == 0) return;
  const ProcedureEntry* entry = FindProcedureByAddress(code);
  if (!entry) {
    ReportWarning("NoProcedure", "@ProcedureName()");
    return;
  }
  auto integral = [](uint8_t type) {
    return type == TypeLong || type == TypeInteger || (type & TypePointerFlag) != 0;
  };
  if (entry->argumentCount != 1 || !entry->arguments || !integral(entry->arguments[0].type) ||
      !integral(entry->resultType)) {
    ReportError("WrongType", "@ProcedureName()");
  }
}

}  // namespace kx
