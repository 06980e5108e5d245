// The front-end's requests that read values: memory, variables, arrays and
// lists, the watch list, evaluating and setting.  Expressions go through
// one seam (EvaluateText) to the expression evaluator.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/debugger/evaluator.h"
#include "runtime/debugger/evaluator_internal.h"
#include "runtime/debugger/link_internal.h"

namespace kx {
namespace link {

namespace {

using evaluator::Readable;
using evaluator::ReadableText;

// A value as the link sends it.
struct Value {
  int32_t kind = ResultError;     // ResultError ... ResultStructure
  int64_t integer = 0;
  double number = 0;
  std::string text;               // ResultString, or the error text
  Outgoing fields;                // ResultStructure: its fields as variable rows
  int32_t fieldCount = 0;
};

// Shown name: the stored name without "v_" or "p_".
const char* ShownName(const char* stored) {
  if (stored && (strncmp(stored, "v_", 2) == 0 || strncmp(stored, "p_", 2) == 0)) return stored + 2;
  return stored ? stored : "";
}

// Value text of a variable of a simple kind at address, in the number mode;
// "" for structures, arrays and lists.
std::string ValueText(uint8_t type, const void* address, int32_t fixedLength = 0) {
  char text[64];
  bool hex = HexMode() != 0;
  if (!address || !Readable(address, type == TypeFixedString ? size_t(fixedLength > 0 ? fixedLength : 1) : 8)) {
    return address ? "?" : "";
  }
  if (type & TypePointerFlag) {
    uintptr_t pointer;
    memcpy(&pointer, address, sizeof pointer);
    snprintf(text, sizeof text, hex ? "$%llX" : "%lld", static_cast<long long>(pointer));
    return text;
  }
  int64_t integer = 0;
  switch (type) {
    case TypeByte: integer = *static_cast<const int8_t*>(address); break;
    case TypeChar: integer = *static_cast<const uint8_t*>(address); break;
    case TypeWord: integer = *static_cast<const int16_t*>(address); break;
    case TypeLong: integer = *static_cast<const int32_t*>(address); break;
    case TypeInteger: integer = *static_cast<const intptr_t*>(address); break;
    case TypeQuad: memcpy(&integer, address, 8); break;
    case TypeFloat:
      snprintf(text, sizeof text, "%f", double(*static_cast<const float*>(address)));
      return text;
    case TypeDouble:
      snprintf(text, sizeof text, "%g", *static_cast<const double*>(address));
      return text;
    case TypeString: {
      const char* string = *static_cast<const char* const*>(address);
      size_t length = 0;
      if (!string) return "";
      return ReadableText(string, &length) ? std::string(string, length) : "?";
    }
    case TypeFixedString: {
      const char* chars = static_cast<const char*>(address);
      return std::string(chars, strnlen(chars, size_t(fixedLength > 0 ? fixedLength : 0)));
    }
    default:
      return "";
  }
  if (hex && type == TypeQuad) snprintf(text, sizeof text, "$%llX", static_cast<unsigned long long>(integer));
  else if (hex) snprintf(text, sizeof text, "$%X", unsigned(uint32_t(integer)));
  else snprintf(text, sizeof text, "%lld", static_cast<long long>(integer));
  return text;
}

void VariableRow(Outgoing& rows, uint8_t type, uint8_t scope, uint8_t depth, const char* name, const std::string& value) {
  rows.Byte(type);
  rows.Byte(scope);
  rows.Byte(depth);
  rows.Text(name);
  rows.Text(value);
}

void Failure(int32_t type, int32_t requestType, const char* text) {
  Outgoing data;
  data.Text(text);
  Send(type, -1, requestType, &data);
}

// Rows of a structure's fields (depth one more than the structure's own).
void FieldRows(Outgoing& rows, const StructureDescription* structure, const char* base, int depth, int32_t* count = nullptr) {
  if (!structure || !base || depth > 8) return;
  for (int32_t i = 0; i < structure->fieldCount; ++i) {
    const StructureField& field = structure->fields[i];
    const char* at = base + field.offset;
    int32_t elements = field.elements > 0 ? field.elements : 1;
    int32_t size = ElementSize(field.type, field.structure, field.fixedLength);
    for (int32_t e = 0; e < elements && e < 256; ++e) {
      std::string name = field.name ? field.name : "";
      if (field.elements > 0) name += "[" + std::to_string(e) + "]";
      bool nested = field.type == TypeStructure;
      VariableRow(rows, field.type, 0, uint8_t(depth + 1), name.c_str(),
                  nested ? "" : ValueText(field.type, at + e * size, field.fixedLength));
      if (count) ++*count;
      if (nested) FieldRows(rows, field.structure, at + e * size, depth + 1, count);
    }
  }
}

// The seam to the expression evaluator: evaluates (or, with assign, runs
// "target = value") for the stopped thread.
bool EvaluateText(const std::string& text, bool assign, Value& value) {
  EvaluationResult result = {};
  DebuggerRecord* thread = CurrentDebuggerRecord();
  int ok = assign ? AssignExpression(text.c_str(), &result, thread) : EvaluateExpression(text.c_str(), &result, thread);
  switch (result.kind) {
    case ValueInteger: value.kind = ResultInteger; value.integer = result.integer; break;
    case ValueFloat: value.kind = ResultFloat; value.number = result.number; break;
    case ValueString: value.kind = ResultString; value.text = result.text ? result.text : ""; break;
    case ValueStructure:
      value.kind = ResultStructure;
      FieldRows(value.fields, result.structure, static_cast<const char*>(result.address), 0, &value.fieldCount);
      break;
    default:
      value.kind = ResultError;
      value.text = result.message;
      ok = 0;
      break;
  }
  FreeEvaluation(&result);
  return ok != 0;
}

// Copies a readable range; false when any of it cannot be read.
bool ReadMemory(uintptr_t start, size_t size, std::vector<char>& bytes) {
  bytes.resize(size);
  SIZE_T read = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(start), bytes.data(), size, &read) &&
         read == size;
}

void Memory(const Incoming& m) {
  int32_t offset = 0;
  std::string startText = m.TextAt(offset);
  std::string endText = m.TextAt(offset);
  Value start, end;
  Outgoing data;
  if (!EvaluateText(startText, false, start) || start.kind != ResultInteger) {
    data.Text(CatalogText("External", "InvalidStart"));
    Send(SendMemory, 0, 0, &data);
    return;
  }
  if (!EvaluateText(endText, false, end) || end.kind != ResultInteger) {
    data.Text(CatalogText("External", "InvalidEnd"));
    Send(SendMemory, 0, 0, &data);
    return;
  }
  uintptr_t first = uintptr_t(start.integer);
  int64_t size = m.header.value1 == 0 ? end.integer - start.integer : end.integer;
  std::vector<char> bytes;
  if (size <= 0 || size > MaxDataLength || !ReadMemory(first, size_t(size), bytes)) {
    Send(SendMemory, int32_t(first), 0);   // an unreadable range: no data
    return;
  }
  data.Bytes(bytes.data(), bytes.size());
  Send(SendMemory, int32_t(first), 0, &data);
}

void Globals(const Incoming& m) {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  Outgoing rows;
  int32_t count = 0;
  for (int32_t i = 0; symbols && i < symbols->globalCount; ++i) {
    const GlobalVariable& global = symbols->globals[i];
    uint8_t kind = global.type & 0x7F;
    if (!global.name || strcmp(global.name, "KX_DataPointer") == 0) continue;
    if (!(global.type & TypePointerFlag) && (kind == TypeList || kind == TypeArray)) continue;
    bool structure = global.type == TypeStructure;
    VariableRow(rows, global.type, 0, 0, ShownName(global.name),
                structure ? "" : ValueText(global.type, global.address, global.fixedLength));
    ++count;
    if (structure) {
      FieldRows(rows, static_cast<const StructureDescription*>(global.structure),
                static_cast<const char*>(global.address), 0, &count);
    }
  }
  Send(SendVariables, count, m.header.type, &rows);
}

// Address of a procedure table entry: scope 1 lies in the frame.
const char* EntryAddress(const SymbolEntry& entry, const CallStackEntry* call) {
  if (entry.scope == ScopeLocal) {
    return call && call->stackPointer ? static_cast<const char*>(call->stackPointer) + entry.location : nullptr;
  }
  return reinterpret_cast<const char*>(entry.location);
}

// The call-stack entry of a level (-1 the innermost); nullptr outside.
const CallStackEntry* CallAt(int32_t level) {
  DebuggerRecord* record = CurrentDebuggerRecord();
  if (level < 0) level = record->depth - 1;
  return level >= 0 && level < record->depth ? &record->stack[level] : nullptr;
}

const SymbolEntry* ProcedureTable(const CallStackEntry* call, int which) {
  const ProcedureEntry* procedure = call ? FindProcedureByIndex(call->procedure) : nullptr;
  return procedure ? static_cast<const SymbolEntry*>(procedure->symbols[which]) : nullptr;
}

void Locals(const Incoming& m) {
  const CallStackEntry* call = CallAt(m.header.value1);
  const ProcedureEntry* procedure = call ? FindProcedureByIndex(call->procedure) : nullptr;
  Outgoing rows;
  rows.Text(procedure && procedure->name ? procedure->name : "");
  int32_t count = 0;
  for (const SymbolEntry* entry = ProcedureTable(call, ProcedureVariables); entry && entry->type != SymbolTableEnd;
       ++entry) {
    uint8_t kind = entry->type & 0x7F;
    if (!(entry->type & TypePointerFlag) && (kind == TypeList || kind == TypeArray)) continue;
    const char* address = EntryAddress(*entry, call);
    bool structure = entry->type == TypeStructure;
    VariableRow(rows, entry->type, entry->scope, 0, ShownName(entry->name),
                structure ? "" : ValueText(entry->type, address, entry->fixedLength));
    ++count;
    if (structure) FieldRows(rows, entry->structure, address, 0, &count);
  }
  Send(SendVariables, count, m.header.type, &rows);
}

void Structure(const Incoming& m) {
  int32_t offset = 0;
  std::string text = m.TextAt(offset);
  Value value;
  EvaluateText(text, false, value);
  if (value.kind != ResultStructure) {
    Failure(SendVariables, m.header.type,
            value.kind == ResultError ? value.text.c_str() : CatalogText("External", "NoStructure"));
    return;
  }
  Send(SendVariables, value.fieldCount, m.header.type, &value.fields);
}

// ---- arrays and lists ----

struct Found {
  const SymbolEntry* entry = nullptr;
  const char* address = nullptr;
};

// Arrays (which 1) or lists (which 2) by shown name: the innermost
// procedure's first, then the program's.
Found FindCollection(const std::string& name, int which) {
  Found found;
  const CallStackEntry* call = CallAt(-1);
  for (const SymbolEntry* e = ProcedureTable(call, which); e && e->type != SymbolTableEnd; ++e) {
    if (lstrcmpiA(ShownName(e->name), name.c_str()) == 0) return {e, EntryAddress(*e, call)};
  }
  const DebugSymbols* symbols = CurrentDebugSymbols();
  const ProgramTables* tables = symbols ? symbols->tables : nullptr;
  if (!tables) return found;
  const SymbolEntry* table = which == ProcedureArrays ? tables->arrays : tables->lists;
  int32_t count = which == ProcedureArrays ? tables->arrayCount : tables->listCount;
  for (int32_t i = 0; i < count; ++i) {
    if (lstrcmpiA(ShownName(table[i].name), name.c_str()) == 0) {
      return {&table[i], reinterpret_cast<const char*>(table[i].location)};
    }
  }
  return found;
}

// Every array (which 1) or list (which 2): the program's, then the innermost
// procedure's.
template <typename Visit>
void EachCollection(int which, Visit visit) {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (const ProgramTables* tables = symbols ? symbols->tables : nullptr) {
    const SymbolEntry* table = which == ProcedureArrays ? tables->arrays : tables->lists;
    int32_t count = which == ProcedureArrays ? tables->arrayCount : tables->listCount;
    for (int32_t i = 0; i < count; ++i) visit(table[i], reinterpret_cast<const char*>(table[i].location));
  }
  const CallStackEntry* call = CallAt(-1);
  for (const SymbolEntry* e = ProcedureTable(call, which); e && e->type != SymbolTableEnd; ++e) {
    visit(*e, EntryAddress(*e, call));
  }
}

std::string Dimensions(const SymbolEntry& entry, const char* address) {
  ArrayRecord array = {};
  if (!address || !Readable(address, sizeof array)) return "()";
  memcpy(&array, address, sizeof array);
  if (!array.elements) return "()";
  std::string text = "(";
  for (int d = 0; d < entry.dimensions && d < MaxArrayDimensions; ++d) {
    text += (d ? "," : "") + std::to_string(array.sizes[d]);
  }
  return text + ")";
}

constexpr int32_t MaxRows = 20000;   // elements sent at most per answer

// "name, a-b, c": the name and per dimension a range (all when missing).
std::string SplitRanges(const std::string& text, std::vector<std::pair<int32_t, int32_t>>& ranges) {
  size_t comma = text.find(',');
  std::string name = text.substr(0, comma);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  while (comma != std::string::npos) {
    size_t next = text.find(',', comma + 1);
    std::string part = text.substr(comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1);
    int from = -1, to = -1;
    int fields = sscanf(part.c_str(), " %d - %d", &from, &to);
    if (part.find("all") != std::string::npos || fields < 1) ranges.push_back({-1, -1});
    else ranges.push_back({from, fields == 2 ? to : from});
    comma = next;
  }
  return name;
}

void ElementRows(Outgoing& rows, int32_t& count, const SymbolEntry& entry, const std::string& index, const char* at) {
  bool structure = entry.type == TypeStructure;
  rows.Byte(entry.type);
  rows.Byte(0);
  rows.Text(index);
  rows.Text(structure ? "" : ValueText(entry.type, at, entry.fixedLength));
  ++count;
  if (structure) {
    int32_t fields = 0;
    Outgoing inner;
    FieldRows(inner, entry.structure, at, 0, &fields);
    // Field rows carry a scope byte the element rows do not: re-pack them.
    size_t i = 0;
    while (i + 3 <= inner.bytes.size()) {
      rows.Byte(uint8_t(inner.bytes[i]));
      rows.Byte(uint8_t(inner.bytes[i + 2]));
      i += 3;
      for (int t = 0; t < 2; ++t) {
        size_t start = i;
        if (Width() == 2) {
          while (i + 1 < inner.bytes.size() && (inner.bytes[i] || inner.bytes[i + 1])) i += 2;
          i += 2;
        } else {
          while (i < inner.bytes.size() && inner.bytes[i]) ++i;
          ++i;
        }
        rows.Bytes(inner.bytes.data() + start, i - start);
      }
      ++count;
    }
  }
}

void Arrays(const Incoming& m) {
  Outgoing rows;
  int32_t count = 0;
  EachCollection(ProcedureArrays, [&](const SymbolEntry& entry, const char* address) {
    rows.Byte(entry.type);
    rows.Byte(entry.scope);
    rows.Text(ShownName(entry.name));
    rows.Text(Dimensions(entry, address));
    ++count;
  });
  Send(SendArrays, count, m.header.type, &rows);
}

void ArrayElements(const Incoming& m) {
  int32_t offset = 0;
  std::vector<std::pair<int32_t, int32_t>> ranges;
  std::string name = SplitRanges(m.TextAt(offset), ranges);
  Found found = FindCollection(name, ProcedureArrays);
  ArrayRecord array = {};
  if (!found.entry || !found.address || !Readable(found.address, sizeof array)) {
    Failure(SendArrays, m.header.type, CatalogText("External", "ArrayListNotFound"));
    return;
  }
  memcpy(&array, found.address, sizeof array);
  const SymbolEntry& entry = *found.entry;
  int dimensions = entry.dimensions < 1 ? 1 : (entry.dimensions > MaxArrayDimensions ? MaxArrayDimensions : entry.dimensions);
  int32_t size = ElementSize(entry.type, entry.structure, entry.fixedLength);
  Outgoing rows;
  rows.Text(ShownName(entry.name));
  int32_t count = 0;
  int32_t from[MaxArrayDimensions], to[MaxArrayDimensions], index[MaxArrayDimensions];
  bool empty = !array.elements || size <= 0;
  for (int d = 0; d < dimensions; ++d) {
    int32_t last = array.sizes[d] - 1;
    std::pair<int32_t, int32_t> range = size_t(d) < ranges.size() ? ranges[d] : std::make_pair(-1, -1);
    from[d] = range.first < 0 ? 0 : range.first;
    to[d] = range.second < 0 || range.second > last ? last : range.second;
    if (from[d] > to[d]) empty = true;
    index[d] = from[d];
  }
  while (!empty && count < MaxRows) {
    int64_t linear = 0;
    std::string text = "(";
    for (int d = 0; d < dimensions; ++d) {
      linear = linear * array.sizes[d] + index[d];
      text += (d ? "," : "") + std::to_string(index[d]);
    }
    ElementRows(rows, count, entry, text + ")", static_cast<const char*>(array.elements) + linear * size);
    int d = dimensions - 1;
    for (; d >= 0; --d) {
      if (++index[d] <= to[d]) break;
      index[d] = from[d];
    }
    if (d < 0) break;
  }
  Send(SendArrays, count, m.header.type, &rows);
}

void Lists(const Incoming& m) {
  Outgoing rows;
  int32_t count = 0;
  if (m.header.value1 == 0) {
    EachCollection(ProcedureLists, [&](const SymbolEntry& entry, const char* address) {
      ListRecord list = {};
      if (address && Readable(address, sizeof list)) memcpy(&list, address, sizeof list);
      rows.Byte(entry.type);
      rows.Byte(entry.scope);
      rows.Text(ShownName(entry.name));
      char state[64];
      snprintf(state, sizeof state, "count: %d, current: %d", int(list.made ? list.count : 0),
               int(list.made && list.current ? list.currentIndex : -1));
      rows.Text(state);
      ++count;
    });
    Send(SendLists, count, 0, &rows);
    return;
  }
  int32_t offset = 0;
  std::vector<std::pair<int32_t, int32_t>> ranges;
  std::string name = SplitRanges(m.TextAt(offset), ranges);
  Found found = FindCollection(name, ProcedureLists);
  ListRecord list = {};
  if (!found.entry || !found.address || !Readable(found.address, sizeof list)) {
    Failure(SendLists, 1, CatalogText("External", "ArrayListNotFound"));
    return;
  }
  memcpy(&list, found.address, sizeof list);
  rows.Text(ShownName(found.entry->name));
  int32_t from = ranges.empty() || ranges[0].first < 0 ? 0 : ranges[0].first;
  int32_t to = ranges.empty() || ranges[0].second < 0 ? INT32_MAX : ranges[0].second;
  int32_t position = 0;
  for (ListElement* element = list.made ? list.first : nullptr; element && position <= to && count < MaxRows;
       ++position) {
    if (!Readable(element, sizeof(ListElement))) break;
    if (position >= from) {
      ElementRows(rows, count, *found.entry, "[" + std::to_string(position) + "]",
                  static_cast<const char*>(ListElementData(element)));
    }
    element = element->next;
  }
  Send(SendLists, count, 1, &rows);
}


void EvaluateOrAssign(const Incoming& m, bool assign) {
  int32_t offset = 0;
  std::string text = m.TextAt(offset);
  Value value;
  EvaluateText(text, assign, value);
  Outgoing data;
  switch (value.kind) {
    case ResultInteger: data.Bytes(&value.integer, 8); break;
    case ResultFloat: data.Bytes(&value.number, 8); break;
    case ResultString: data.Text(value.text); break;
    case ResultStructure:
      data.Int32(value.fieldCount);
      data.Bytes(value.fields.bytes.data(), value.fields.bytes.size());
      break;
    default: data.Text(value.text); break;
  }
  if (m.Length() > 0) data.Bytes(m.data.data(), size_t(m.Length()));
  Send(assign ? SendAssignment : SendEvaluation, value.kind, m.header.value1, &data);
}

// ---- watch list ----

struct WatchItem {
  int32_t id;
  int32_t procedure;       // -1: a global expression
  std::string expression;
  uint32_t fingerprint;    // of the value last sent
};

CRITICAL_SECTION* WatchLock() {
  static CRITICAL_SECTION* lock = [] {
    auto* section = new CRITICAL_SECTION;
    InitializeCriticalSection(section);
    return section;
  }();
  return lock;
}

std::vector<WatchItem>& Watched() {
  static auto* items = new std::vector<WatchItem>;
  return *items;
}

int32_t g_nextWatchId = 1;

// Evaluates every item; true when a fingerprint changed among those of the
// procedure (any procedure when it is below -1).
bool BuildWatchList(Outgoing& data, int32_t procedure = -2) {
  bool changed = false;
  for (WatchItem& item : Watched()) {
    bool concerned = procedure < -1 || item.procedure == procedure;
    Value value;
    bool inScope = item.procedure < 0;
    DebuggerRecord* record = CurrentDebuggerRecord();
    if (!inScope && record->depth > 0) inScope = record->stack[record->depth - 1].procedure == item.procedure;
    uint8_t state = 2;
    if (inScope) state = EvaluateText(item.expression, false, value) ? 0 : 1;
    std::string text;
    switch (value.kind) {
      case ResultInteger: {
        char number[32];
        snprintf(number, sizeof number, HexMode() ? "$%llX" : "%lld", static_cast<long long>(value.integer));
        text = number;
        break;
      }
      case ResultFloat: {
        char number[64];
        snprintf(number, sizeof number, "%g", value.number);
        text = number;
        break;
      }
      default: text = value.text; break;
    }
    uint32_t fingerprint = Crc32(text.data(), text.size()) ^ (uint32_t(state) << 30);
    if (fingerprint != item.fingerprint && concerned) changed = true;
    item.fingerprint = fingerprint;
    data.Int32(item.id);
    data.Int32(item.procedure);
    data.Byte(state);
    data.Byte(uint8_t(value.kind));
    data.Text(item.expression);
    data.Text(text);
  }
  return changed;
}

// The procedure hooks' refresh: only while some item belongs to a procedure.
void RefreshProcedureItems(int32_t procedure);

void UpdateProcedureWatch() {
  bool any = false;
  for (const WatchItem& item : Watched()) any = any || item.procedure >= 0;
  debugger::procedureWatch = any ? RefreshProcedureItems : nullptr;
}

void RefreshProcedureItems(int32_t procedure) {
  EnterCriticalSection(WatchLock());
  bool concerned = false;
  for (const WatchItem& item : Watched()) concerned = concerned || item.procedure == procedure;
  Outgoing data;
  bool changed = concerned && BuildWatchList(data, procedure);
  int32_t count = int32_t(Watched().size());
  LeaveCriticalSection(WatchLock());
  if (changed) Send(SendWatchList, count, 0, &data);
}

void WatchAdd(const Incoming& m) {
  int32_t offset = 0;
  std::string expression = m.TextAt(offset);
  EnterCriticalSection(WatchLock());
  bool full = Watched().size() >= size_t(MaxWatched);
  if (!full) Watched().push_back({g_nextWatchId++, m.header.value1 < 0 ? -1 : m.header.value1, expression, 0});
  UpdateProcedureWatch();
  LeaveCriticalSection(WatchLock());
  if (full) {
    Outgoing data;
    data.Text(CatalogText("External", "WatchlistBig"));
    Send(SendWatchError, m.header.type, 0, &data);
    return;
  }
  CheckWatchList(true);
}

void WatchRemove(const Incoming& m) {
  EnterCriticalSection(WatchLock());
  std::vector<WatchItem>& items = Watched();
  for (size_t i = 0; i < items.size();) {
    if (m.header.value1 < 0 || items[i].id == m.header.value1) items.erase(items.begin() + i);
    else ++i;
  }
  UpdateProcedureWatch();
  LeaveCriticalSection(WatchLock());
  CheckWatchList(true);
}

}  // namespace

void CheckWatchList(bool always) {
  EnterCriticalSection(WatchLock());
  if (Watched().empty() && !always) {
    LeaveCriticalSection(WatchLock());
    return;
  }
  Outgoing data;
  bool changed = BuildWatchList(data);
  int32_t count = int32_t(Watched().size());
  LeaveCriticalSection(WatchLock());
  if (changed || always) Send(SendWatchList, count, 0, &data);
}

bool DispatchValues(const Incoming& m) {
  switch (m.header.type) {
    case RequestMemory: Memory(m); return true;
    case RequestGlobals: Globals(m); return true;
    case RequestLocals:
    case RequestProcedureVariables: Locals(m); return true;
    case RequestStructure: Structure(m); return true;
    case RequestArrays: Arrays(m); return true;
    case RequestArrayElements: ArrayElements(m); return true;
    case RequestLists: Lists(m); return true;
    case RequestWatchAdd: WatchAdd(m); return true;
    case RequestWatchRemove: WatchRemove(m); return true;
    case RequestWatchList: CheckWatchList(true); return true;
    case RequestEvaluate: EvaluateOrAssign(m, false); return true;
    case RequestAssign: EvaluateOrAssign(m, true); return true;
    default: return false;
  }
}

}  // namespace link
}  // namespace kx
