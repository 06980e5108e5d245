// The front-end's requests that read values: memory, variables, arrays and
// lists, the watch list, evaluating and setting.  Expressions go through
// one seam (EvaluateText) to the expression evaluator.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/debugger/link_internal.h"

namespace kx {
namespace link {

namespace {

// A value as the link sends it.
struct Value {
  int32_t kind = ResultError;     // ResultError ... ResultStructure
  int64_t integer = 0;
  double number = 0;
  std::string text;               // ResultString, or the error text
  Outgoing fields;                // ResultStructure: its fields as variable rows
};

// Reads an integer literal: decimal, or hexadecimal after "$".
bool IntegerLiteral(const std::string& text, int64_t& value) {
  const char* at = text.c_str();
  while (*at == ' ' || *at == '\t') ++at;
  char* end = nullptr;
  if (*at == '$') value = int64_t(strtoull(at + 1, &end, 16));
  else value = strtoll(at, &end, 10);
  if (!end || end == at || (*at == '$' && end == at + 1)) return false;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == 0;
}

// The seam to the expression evaluator: evaluates (or, with assign, runs
// "target = value") for the stopped thread.  Until the evaluator is part of
// the runtime only integer literals are understood.
bool EvaluateText(const std::string& text, bool assign, Value& value) {
  if (!assign && IntegerLiteral(text, value.integer)) {
    value.kind = ResultInteger;
    return true;
  }
  value.kind = ResultError;
  value.text = CatalogText("External", "VariableNotFound");
  return false;
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

// Shown name: the stored name without "v_" or "p_".
const char* ShownName(const char* stored) {
  if (stored && (strncmp(stored, "v_", 2) == 0 || strncmp(stored, "p_", 2) == 0)) return stored + 2;
  return stored ? stored : "";
}

// Value text of a variable of a simple kind at address, in the number mode.
std::string ValueText(uint8_t type, const void* address) {
  char text[64];
  bool hex = HexMode() != 0;
  if (!address) return "";
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
      return string ? string : "";
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

void Globals(const Incoming& m) {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  Outgoing rows;
  int32_t count = 0;
  for (int32_t i = 0; symbols && i < symbols->globalCount; ++i) {
    const GlobalVariable& global = symbols->globals[i];
    uint8_t kind = global.type & 0x7F;
    if (!global.name || strcmp(global.name, "KX_DataPointer") == 0) continue;
    if (!(global.type & TypePointerFlag) && (kind == TypeList || kind == TypeArray)) continue;
    VariableRow(rows, global.type, 0, 0, ShownName(global.name),
                kind == TypeStructure && !(global.type & TypePointerFlag) ? "" : ValueText(global.type, global.address));
    ++count;
  }
  Send(SendVariables, count, m.header.type, &rows);
}

void Failure(int32_t type, int32_t requestType, const char* text) {
  Outgoing data;
  data.Text(text);
  Send(type, -1, requestType, &data);
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
    case ResultStructure: data.Bytes(value.fields.bytes.data(), value.fields.bytes.size()); break;
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

// Evaluates every item; true when a fingerprint changed.
bool BuildWatchList(Outgoing& data) {
  bool changed = false;
  for (WatchItem& item : Watched()) {
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
    if (fingerprint != item.fingerprint) changed = true;
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

void WatchAdd(const Incoming& m) {
  int32_t offset = 0;
  std::string expression = m.TextAt(offset);
  EnterCriticalSection(WatchLock());
  bool full = Watched().size() >= size_t(MaxWatched);
  if (!full) Watched().push_back({g_nextWatchId++, m.header.value1 < 0 ? -1 : m.header.value1, expression, 0});
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
    case RequestStructure:
    case RequestProcedureVariables:
      Failure(SendVariables, m.header.type, CatalogText("External", "VariableNotFound"));
      return true;
    case RequestArrays:
    case RequestArrayElements:
      Failure(SendArrays, m.header.type, CatalogText("External", "ArrayListNotFound"));
      return true;
    case RequestLists:
      Failure(SendLists, m.header.value1, CatalogText("External", "ArrayListNotFound"));
      return true;
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
