// The console debugger's variable commands: "variables", "history",
// "debug", "set", "arrays", "arrayshow", "linkedlists" and "listshow", over
// the debug symbol tables and the expression evaluator.
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/debugger/console_internal.h"
#include "runtime/debugger/evaluator.h"
#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace console {

namespace {

using evaluator::Readable;
using evaluator::ReadableText;

const char* const ScopeNames[] = {"", "Local", "Static", "Shared"};

const char* ScopeName(uint8_t scope) { return scope < 4 ? ScopeNames[scope] : ""; }

const char* KindName(uint8_t type) {
  uint8_t kind = type & 0x3F;
  return kind == TypeInteger ? "Integer" : TypeName(kind);
}

const char* ShownName(const char* stored) {
  if (stored && (strncmp(stored, "v_", 2) == 0 || strncmp(stored, "p_", 2) == 0)) return stored + 2;
  return stored ? stored : "";
}

// A quad in hexadecimal by the quad rule: high and low half when the high
// half is above 0, else the low half alone.
std::string QuadHex(int64_t value) {
  char text[32];
  int32_t high = int32_t(uint64_t(value) >> 32);
  uint32_t low = uint32_t(uint64_t(value));
  if (high > 0) snprintf(text, sizeof text, "%X%08X", unsigned(high), unsigned(low));
  else snprintf(text, sizeof text, "%X", unsigned(low));
  return text;
}

bool ReadInteger(uint8_t type, const void* at, int64_t& value) {
  switch (type & 0x7F) {
    case TypeByte: if (!Readable(at, 1)) return false; value = *static_cast<const int8_t*>(at); return true;
    case TypeChar: if (!Readable(at, 1)) return false; value = *static_cast<const uint8_t*>(at); return true;
    case TypeWord: if (!Readable(at, 2)) return false; value = *static_cast<const int16_t*>(at); return true;
    case TypeLong: if (!Readable(at, 4)) return false; value = *static_cast<const int32_t*>(at); return true;
    case TypeInteger:
      if (!Readable(at, sizeof(intptr_t))) return false;
      value = *static_cast<const intptr_t*>(at);
      return true;
    default: return false;
  }
}

// The value part of a row (after the name column), by kind.
std::string ValueText(uint8_t type, const void* at, int32_t fixedLength, bool forRow) {
  char text[64];
  bool hex = HexMode() != 0;
  if (type & TypePointerFlag) {
    intptr_t pointer = 0;
    if (Readable(at, sizeof pointer)) memcpy(&pointer, at, sizeof pointer);
    if (hex) snprintf(text, sizeof text, "$%" PRIXPTR, uintptr_t(pointer));
    else snprintf(text, sizeof text, "%" PRIdPTR, pointer);
    return text;
  }
  int64_t integer = 0;
  switch (type) {
    case TypeFloat:
      snprintf(text, sizeof text, "%f", Readable(at, 4) ? double(*static_cast<const float*>(at)) : 0.0);
      return text;
    case TypeDouble:
      snprintf(text, sizeof text, "%g", Readable(at, 8) ? *static_cast<const double*>(at) : 0.0);
      return text;
    case TypeQuad:
      if (Readable(at, 8)) memcpy(&integer, at, 8);
      if (hex) return "$" + QuadHex(integer);
      snprintf(text, sizeof text, "%lld", static_cast<long long>(integer));
      return text;
    case TypeString: {
      const char* string = Readable(at, sizeof(char*)) ? *static_cast<const char* const*>(at) : nullptr;
      size_t length = 0;
      if (!string) return "\"\"";
      if (!ReadableText(string, &length)) return forRow ? "\"\"" : "-invalid string-";
      return "\"" + std::string(string, length) + "\"";
    }
    case TypeFixedString: {
      size_t length = fixedLength > 0 ? size_t(fixedLength) : 0;
      if (!Readable(at, length)) return "\"\"";
      return "\"" + std::string(static_cast<const char*>(at), strnlen(static_cast<const char*>(at), length)) + "\"";
    }
    default:
      if (!ReadInteger(type, at, integer)) return "0";
      if (hex) snprintf(text, sizeof text, "$%X", unsigned(uint32_t(integer)));
      else snprintf(text, sizeof text, "%d", int(integer));
      return text;
  }
}

// One variable row; structures (when wanted) followed by their fields.
void Row(FILE* out, int indent, uint8_t scope, uint8_t type, const char* name, const char* at, int32_t fixedLength,
         const StructureDescription* structure, bool structures) {
  uint8_t kind = type & 0x7F;
  if (type & TypePointerFlag) {
    Printf(out, "\n%*s%7s%8s *%-20s %s", indent, "", ScopeName(scope), KindName(type), name,
            ValueText(type, at, fixedLength, true).c_str());
    return;
  }
  if (kind == TypeList || kind == TypeArray) return;
  if (kind == TypeStructure) {
    if (!structures || !structure) return;
    Printf(out, "\n%*s%7s%8s  %s.%s", indent, "", ScopeName(scope), KindName(type), name, structure->name);
    if (indent > 16) return;
    for (int32_t i = 0; i < structure->fieldCount; ++i) {
      const StructureField& field = structure->fields[i];
      int32_t elements = field.elements > 0 ? field.elements : 1;
      int32_t size = ElementSize(field.type, field.structure, field.fixedLength);
      for (int32_t e = 0; e < elements && e < 256; ++e) {
        std::string fieldName = field.name ? field.name : "";
        if (field.elements > 0) fieldName += "[" + std::to_string(e) + "]";
        Row(out, indent + 2, 0, field.type, fieldName.c_str(), at ? at + field.offset + e * size : nullptr,
            field.fixedLength, field.structure, true);
      }
    }
    return;
  }
  Printf(out, "\n%*s%7s%8s  %-20s %s", indent, "", ScopeName(scope), KindName(type), name,
          ValueText(type, at, fixedLength, true).c_str());
}

// Rows of a procedure's variable table; returns the entries met.
int ProcedureRows(FILE* out, const CallStackEntry& call, int indent, bool structures) {
  const ProcedureEntry* procedure = FindProcedureByIndex(call.procedure);
  const SymbolEntry* table = procedure ? static_cast<const SymbolEntry*>(procedure->symbols[ProcedureVariables]) : nullptr;
  int met = 0;
  for (const SymbolEntry* e = table; e && e->type != SymbolTableEnd; ++e, ++met) {
    const char* at = e->scope == ScopeLocal
                         ? (call.stackPointer ? static_cast<const char*>(call.stackPointer) + e->location : nullptr)
                         : reinterpret_cast<const char*>(e->location);
    Row(out, indent, e->scope, e->type, ShownName(e->name), at, e->fixedLength, e->structure, structures);
  }
  return met;
}

const char* ProcedureName(int32_t index) {
  const ProcedureEntry* procedure = FindProcedureByIndex(index);
  return procedure && procedure->name ? procedure->name : "";
}

// ---- fields of a structure in the full-path form of "debug" ----

void PathRows(FILE* out, const std::string& path, const StructureDescription* structure, const char* base, int depth) {
  if (!structure || depth > 8) return;
  for (int32_t i = 0; i < structure->fieldCount; ++i) {
    const StructureField& field = structure->fields[i];
    int32_t elements = field.elements > 0 ? field.elements : 1;
    int32_t size = ElementSize(field.type, field.structure, field.fixedLength);
    for (int32_t e = 0; e < elements && e < 256; ++e) {
      char name[512];
      if (field.elements > 0) snprintf(name, sizeof name, "%s.%s[%d]", path.c_str(), field.name, int(e));
      else snprintf(name, sizeof name, "%s.%s", path.c_str(), field.name);
      const char* at = base + field.offset + e * size;
      if (field.type == TypeStructure) {
        PathRows(out, name, field.structure, at, depth + 1);
        continue;
      }
      Printf(out, "\n  %-30s %s", name, ValueText(field.type, at, field.fixedLength, false).c_str());
    }
  }
}

// ---- arrays and lists ----

struct Collection {
  const SymbolEntry* entry = nullptr;
  const char* at = nullptr;
};

std::vector<Collection> Collections(int which, bool procedure) {
  std::vector<Collection> found;
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (procedure) {
    if (record->depth < 1) return found;
    const CallStackEntry& call = record->stack[record->depth - 1];
    const ProcedureEntry* p = FindProcedureByIndex(call.procedure);
    for (const SymbolEntry* e = p ? static_cast<const SymbolEntry*>(p->symbols[which]) : nullptr;
         e && e->type != SymbolTableEnd; ++e) {
      const char* at = e->scope == ScopeLocal
                           ? (call.stackPointer ? static_cast<const char*>(call.stackPointer) + e->location : nullptr)
                           : reinterpret_cast<const char*>(e->location);
      found.push_back({e, at});
    }
    return found;
  }
  const DebugSymbols* symbols = CurrentDebugSymbols();
  const ProgramTables* tables = symbols ? symbols->tables : nullptr;
  if (!tables) return found;
  const SymbolEntry* table = which == ProcedureArrays ? tables->arrays : tables->lists;
  int32_t count = which == ProcedureArrays ? tables->arrayCount : tables->listCount;
  for (int32_t i = 0; i < count; ++i) found.push_back({&table[i], reinterpret_cast<const char*>(table[i].location)});
  return found;
}

Collection FindCollection(int which, const std::string& name) {
  for (bool procedure : {true, false}) {
    for (const Collection& c : Collections(which, procedure)) {
      if (lstrcmpiA(ShownName(c.entry->name), name.c_str()) == 0) return c;
    }
  }
  return {};
}

void ArrayRows(FILE* out, const std::vector<Collection>& arrays) {
  for (const Collection& c : arrays) {
    const SymbolEntry& e = *c.entry;
    ArrayRecord array = {};
    if (c.at && Readable(c.at, sizeof array)) memcpy(&array, c.at, sizeof array);
    bool structure = (e.type & 0x7F) == TypeStructure && e.structure;
    Printf(out, "%*s %7s%8s %1s%s%s%s(%d", 0, "", ScopeName(e.scope), KindName(e.type),
            e.type & TypePointerFlag ? "*" : "", ShownName(e.name), structure ? "." : "",
            structure ? e.structure->name : "", int(array.sizes[0] - 1));
    for (int d = 1; d < e.dimensions && d < MaxArrayDimensions; ++d) Printf(out, ", %d", int(array.sizes[d] - 1));
    Printf(out, ")\n");
  }
  if (arrays.empty()) Printf(out, "\n%*s  No arrays defined.\n\n", 0, "");
  else Printf(out, "\n");
}

void ListRows(FILE* out, const std::vector<Collection>& lists) {
  for (const Collection& c : lists) {
    const SymbolEntry& e = *c.entry;
    ListRecord list = {};
    if (c.at && Readable(c.at, sizeof list)) memcpy(&list, c.at, sizeof list);
    bool structure = (e.type & 0x7F) == TypeStructure && e.structure;
    std::string name = std::string(ShownName(e.name)) + (structure ? std::string(".") + e.structure->name : "") + "()";
    const char* scope = ScopeName(e.scope);
    const char* kind = KindName(e.type);
    if (!list.made) Printf(out, "%*s %7s%8s  %-26s - not initialized yet\n", 0, "", scope, kind, name.c_str());
    else if (list.count == 0) Printf(out, "%*s %7s%8s  %-26s - empty list\n", 0, "", scope, kind, name.c_str());
    else if (!list.current) {
      Printf(out, "%*s %7s%8s  %-26s - elements: %d (no current one)\n", 0, "", scope, kind, name.c_str(),
              int(list.count));
    } else {
      Printf(out, "%*s %7s%8s  %-26s - elements: %d current: %d\n", 0, "", scope, kind, name.c_str(),
              int(list.count), int(list.currentIndex));
    }
  }
  if (lists.empty()) Printf(out, "%*s  No LinkedLists defined.\n", 0, "");
  else Printf(out, "\n");
}

// " = value\n" of an element in the forms of "arrayshow".
void ElementValue(FILE* out, const SymbolEntry& e, const std::string& path, const char* at) {
  if (!(e.type & TypePointerFlag) && (e.type & 0x7F) == TypeStructure) {
    PathRows(out, path, e.structure, at, 0);
    Printf(out, "\n");
    return;
  }
  Printf(out, " = %s\n", ValueText(e.type, at, e.fixedLength, false).c_str());
}

}  // namespace

void Variables(FILE* out, const std::string& argument) {
  bool structures = lstrcmpiA(argument.c_str(), "nostructures") != 0;
  Printf(out, "[Debugger Variable Dump]\n\nMain source variables:");
  const DebugSymbols* symbols = CurrentDebugSymbols();
  int met = 0;
  for (int32_t i = 0; symbols && i < symbols->globalCount; ++i) {
    const GlobalVariable& g = symbols->globals[i];
    if (g.name && strcmp(g.name, "KX_DataPointer") == 0) continue;
    ++met;
    Row(out, 0, 0, g.type, ShownName(g.name), static_cast<const char*>(g.address), g.fixedLength,
        static_cast<const StructureDescription*>(g.structure), structures);
  }
  Printf(out, met ? "\n\n" : "\n  No variables found.\n\n");
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (record->depth >= 1) {
    const CallStackEntry& call = record->stack[record->depth - 1];
    Printf(out, "Variables in Procedure: %s()", ProcedureName(call.procedure));
    Printf(out, ProcedureRows(out, call, 0, structures) ? "\n\n" : "\n  No variables found.\n\n");
  }
}

void History(FILE* out, const std::string& argument) {
  bool variables = lstrcmpiA(argument.c_str(), "variables") == 0;
  DebuggerRecord* record = CurrentDebuggerRecord();
  Printf(out, "[Debugger Procedure History]");
  if (record->depth == 0) Printf(out, "\nThe current position is not inside a procedure.");
  for (int32_t i = 0; i < record->depth; ++i) {
    const CallStackEntry& call = record->stack[i];
    int indent = 2 * i;
    Printf(out, "\n%*sOn Line %d (%s) called:\n%*s--> ", indent, "", debugger::LineNumber(call.callingLine),
            SourceFileName(call.callingLine), indent, "");
    Printf(out, "%s", debugger::CallText(call).c_str());
    if (variables) {
      Printf(out, "\n%*sLocal Variables of %s()", indent, "", ProcedureName(call.procedure));
      ProcedureRows(out, call, indent, true);
      Printf(out, "\n\n");
    }
  }
  if (!variables || record->depth == 0) Printf(out, "\n\n");
}

void DebugExpression(FILE* out, const std::string& expression) {
  if (expression.empty()) {
    Printf(out, "  An expression to be evaluated must be specified.\n\n");
    return;
  }
  EvaluationResult result = {};
  if (!EvaluateExpression(expression.c_str(), &result, CurrentDebuggerRecord())) {
    Printf(out, "  Error: %s\n\n", result.message);
    FreeEvaluation(&result);
    return;
  }
  switch (result.kind) {
    case ValueInteger:
      if (HexMode()) Printf(out, "[Debugger]  $%s\n\n", QuadHex(result.integer).c_str());
      else Printf(out, "[Debugger]  %lld\n\n", static_cast<long long>(result.integer));
      break;
    case ValueFloat: Printf(out, "[Debugger]  %g\n\n", result.number); break;
    case ValueString: Printf(out, "[Debugger]  %s\n\n", result.text ? result.text : ""); break;
    case ValueStructure:
      PathRows(out, expression, result.structure, static_cast<const char*>(result.address), 0);
      Printf(out, "\n\n");
      break;
    default: break;
  }
  FreeEvaluation(&result);
}

void SetVariable(FILE* out, const std::string& assignment) {
  EvaluationResult result = {};
  if (!AssignExpression(assignment.c_str(), &result, CurrentDebuggerRecord())) {
    Printf(out, "  Error: %s\n\n", result.message);
    FreeEvaluation(&result);
    return;
  }
  switch (result.kind) {
    case ValueInteger:
      if (HexMode()) Printf(out, "  Variable set to $%X\n\n", unsigned(uint32_t(result.integer)));
      else Printf(out, "  Variable set to %i\n\n", int(result.integer));
      break;
    case ValueFloat: Printf(out, "  Variable set to %g\n\n", result.number); break;
    case ValueString: Printf(out, "  Variable set to \"%s\"\n\n", result.text ? result.text : ""); break;
    default: break;
  }
  FreeEvaluation(&result);
}

void Arrays(FILE* out) {
  Printf(out, "[Debugger Array List]\n");
  ArrayRows(out, Collections(ProcedureArrays, false));
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (record->depth >= 1) {
    Printf(out, "Arrays in Procedure: %s()\n", ProcedureName(record->stack[record->depth - 1].procedure));
    ArrayRows(out, Collections(ProcedureArrays, true));
  }
}

void LinkedLists(FILE* out) {
  Printf(out, "[Debugger LinkedList List]\n");
  ListRows(out, Collections(ProcedureLists, false));
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (record->depth >= 1) {
    Printf(out, "LinkedLists in Procedure: %s()\n", ProcedureName(record->stack[record->depth - 1].procedure));
    ListRows(out, Collections(ProcedureLists, true));
  }
}

namespace {

// "name, a-b, c": the name and its ranges (-1 for a missing end).
std::string SplitRanges(const std::string& text, std::vector<std::pair<int, int>>& ranges, bool& bad) {
  size_t comma = text.find(',');
  std::string name = Trim(text.substr(0, comma));
  bad = false;
  while (comma != std::string::npos) {
    size_t next = text.find(',', comma + 1);
    std::string part = Trim(text.substr(comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1));
    int from = 0, to = 0;
    if (lstrcmpiA(part.c_str(), "all") == 0) ranges.push_back({-2, -2});
    else if (sscanf(part.c_str(), "%d - %d", &from, &to) == 2) ranges.push_back({from, to});
    else if (sscanf(part.c_str(), "%d", &from) == 1) ranges.push_back({from, from});
    else bad = true;
    comma = next;
  }
  return name;
}

}  // namespace

void ArrayShow(FILE* out, const std::string& argument) {
  std::vector<std::pair<int, int>> ranges;
  bool bad;
  std::string name = SplitRanges(argument, ranges, bad);
  Collection c = FindCollection(ProcedureArrays, name);
  if (!c.entry) {
    Printf(out, "  Array not found: %s\n\n", name.c_str());
    return;
  }
  const SymbolEntry& e = *c.entry;
  ArrayRecord array = {};
  if (c.at && Readable(c.at, sizeof array)) memcpy(&array, c.at, sizeof array);
  int dimensions = e.dimensions < 1 ? 1 : (e.dimensions > MaxArrayDimensions ? MaxArrayDimensions : e.dimensions);
  if (int(ranges.size()) > dimensions) {
    Printf(out, "  Too many arguments in given range. The array does only have %d dimensions.\n\n", dimensions);
    return;
  }
  if (!array.elements) {
    Printf(out, "  The array is not initialized yet. (Dim was not called yet)\n\n");
    return;
  }
  int from[MaxArrayDimensions], to[MaxArrayDimensions], index[MaxArrayDimensions];
  for (int d = 0; d < dimensions; ++d) {
    std::pair<int, int> r = size_t(d) < ranges.size() && ranges[d].first != -2 ? ranges[d]
                                                                                : std::make_pair(0, array.sizes[d] - 1);
    if (r.second < r.first) {
      Printf(out, "  Range end lower than range start.\n\n");
      return;
    }
    if (r.first < 0 || r.second >= array.sizes[d]) {
      Printf(out, "  Array index out of bounds.\n\n");
      return;
    }
    from[d] = index[d] = r.first;
    to[d] = r.second;
  }
  if (bad) {
    Printf(out, "  Array index out of bounds.\n\n");
    return;
  }
  // Index texts first: every line is padded to the longest one.
  std::vector<std::string> texts;
  std::vector<int64_t> offsets;
  size_t longest = 0;
  for (int rows = 0; rows < 100000; ++rows) {
    std::string text;
    int64_t linear = 0;
    for (int d = 0; d < dimensions; ++d) {
      text += (d ? "," : "") + std::to_string(index[d]);
      linear = linear * array.sizes[d] + index[d];
    }
    longest = text.size() > longest ? text.size() : longest;
    texts.push_back(text);
    offsets.push_back(linear);
    int d = dimensions - 1;
    for (; d >= 0; --d) {
      if (++index[d] <= to[d]) break;
      index[d] = from[d];
    }
    if (d < 0) break;
  }
  int32_t size = ElementSize(e.type, e.structure, e.fixedLength);
  Printf(out, "[Debugger Array Display]\n");
  for (size_t i = 0; i < texts.size(); ++i) {
    Printf(out, "  %s%s(%s)%*s", e.type & TypePointerFlag ? "*" : "", ShownName(e.name), texts[i].c_str(),
            int(longest + 1 - texts[i].size()), "");
    std::string path = std::string(ShownName(e.name)) + "(" + texts[i] + ")";
    ElementValue(out, e, path, static_cast<const char*>(array.elements) + offsets[i] * size);
  }
}

void ListShow(FILE* out, const std::string& argument) {
  std::vector<std::pair<int, int>> ranges;
  bool bad;
  std::string name = SplitRanges(argument, ranges, bad);
  Collection c = FindCollection(ProcedureLists, name);
  if (!c.entry) {
    Printf(out, "  LinkedList not found: %s\n\n", name.c_str());
    return;
  }
  ListRecord list = {};
  if (c.at && Readable(c.at, sizeof list)) memcpy(&list, c.at, sizeof list);
  const char* failure = nullptr;
  int from = 0, to = 0;
  if (!list.made) failure = "The LinkedList is not initialized. (NewList not yet called)";
  else if (list.count == 0) failure = "This LinkedList is empty.";
  else if (bad || ranges.size() > 1) failure = "Invalid range to display.";
  else if (ranges.empty()) {
    if (!list.current) failure = "This LinkedList has no current element.";
    from = to = list.currentIndex;
  } else if (ranges[0].first == -2) {
    from = 0;
    to = list.count - 1;
  } else {
    from = ranges[0].first;
    to = ranges[0].second;
    if (from < 0 || to < 0) failure = "No negative indexes are possible.";
    else if (to < from) failure = "Requested last element is smaller than the first.";
    else if (to >= list.count) failure = "Requested index is too high.";
  }
  if (failure) {
    Printf(out, "  %s\n\n", failure);
    return;
  }
  const SymbolEntry& e = *c.entry;
  int width = int(std::to_string(to).size());
  Printf(out, "[Debugger LinkedList Display]\n");
  int position = 0;
  for (ListElement* element = list.first; element && position <= to; ++position) {
    if (!Readable(element, sizeof(ListElement))) break;
    if (position >= from) {
      Printf(out, "  %*d: %s%s()", width, position, e.type & TypePointerFlag ? "*" : "", ShownName(e.name));
      std::string path = std::string(ShownName(e.name)) + "()";
      ElementValue(out, e, path, static_cast<const char*>(ListElementData(element)));
    }
    element = element->next;
  }
}

}  // namespace console
}  // namespace kx
