// Names of an expression resolved against the symbol tables: variables of
// the innermost procedure and the globals, array and list elements,
// structure fields, addresses, constants and labels.  A "place" is where a
// value lies and how it is typed; reading it makes a value, "@" takes its
// address and "set" writes it.
#include <cstring>

#include "runtime/debugger/evaluator_internal.h"

namespace kx {

int32_t ElementSize(uint8_t type, const StructureDescription* structure, int32_t fixedLength) {
  if (type & TypePointerFlag) return int32_t(sizeof(void*));
  switch (type) {
    case TypeByte: case TypeChar: return 1;
    case TypeWord: return 2;
    case TypeLong: case TypeFloat: return 4;
    case TypeDouble: case TypeQuad: return 8;
    case TypeInteger: case TypeString: return int32_t(sizeof(void*));
    case TypeFixedString: return fixedLength > 0 ? fixedLength : 0;
    case TypeStructure: return structure ? structure->size : 0;
  }
  return 0;
}

namespace evaluator {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool IsPointer(uint8_t type) { return (type & TypePointerFlag) != 0; }

// ---- tables ----

const SymbolEntry* ProcedureTable(const State& state, int which) {
  if (!state.procedure) return nullptr;
  return static_cast<const SymbolEntry*>(state.procedure->symbols[which]);
}

const ProgramTables* Tables() {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  return symbols ? symbols->tables : nullptr;
}

// Where an entry of a table lies; nullptr for a frame offset without a frame.
char* EntryAddress(const State& state, const SymbolEntry& entry) {
  if (entry.scope == ScopeLocal) return state.frame ? state.frame + entry.location : nullptr;
  return reinterpret_cast<char*>(entry.location);
}

const SymbolEntry* FindInProcedureTable(const State& state, int which) {
  const SymbolEntry* entry = ProcedureTable(state, which);
  for (; entry && entry->type != SymbolTableEnd; ++entry) {
    if (IsPointer(entry->type) != state.pointer) continue;
    if (entry->scope == ScopeLocal && !state.frame) continue;
    if (NameMatches(entry->name, state.Name(), state.nameLength)) return entry;
  }
  return nullptr;
}

const SymbolEntry* FindInGlobalTable(const State& state, const SymbolEntry* table, int32_t count) {
  for (int32_t i = 0; table && i < count; ++i) {
    if (IsPointer(table[i].type) != state.pointer) continue;
    if (NameMatches(table[i].name, state.Name(), state.nameLength)) return &table[i];
  }
  return nullptr;
}

bool FindVariable(const State& state, Place& place) {
  if (const SymbolEntry* entry = FindInProcedureTable(state, ProcedureVariables)) {
    place = {entry->type, EntryAddress(state, *entry), entry->structure, entry->fixedLength};
    return true;
  }
  const DebugSymbols* symbols = CurrentDebugSymbols();
  for (int32_t i = 0; symbols && symbols->globals && i < symbols->globalCount; ++i) {
    const GlobalVariable& global = symbols->globals[i];
    if (IsPointer(global.type) != state.pointer) continue;
    if (!NameMatches(global.name, state.Name(), state.nameLength)) continue;
    place = {global.type, static_cast<char*>(global.address),
             static_cast<const StructureDescription*>(global.structure), global.fixedLength};
    return true;
  }
  return false;
}

// An array or a list of the name: the procedure's first, then the globals.
const SymbolEntry* FindArray(const State& state) {
  if (const SymbolEntry* entry = FindInProcedureTable(state, ProcedureArrays)) return entry;
  const ProgramTables* tables = Tables();
  return tables ? FindInGlobalTable(state, tables->arrays, tables->arrayCount) : nullptr;
}

const SymbolEntry* FindList(const State& state) {
  if (const SymbolEntry* entry = FindInProcedureTable(state, ProcedureLists)) return entry;
  const ProgramTables* tables = Tables();
  return tables ? FindInGlobalTable(state, tables->lists, tables->listCount) : nullptr;
}

const ProcedureEntry* FindProcedure(const State& state) {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (state.pointer || !symbols) return nullptr;
  for (int32_t i = 0; symbols->procedures && i < symbols->procedureCount; ++i) {
    if (SameName(symbols->procedures[i].name, state.Name(), state.nameLength)) return &symbols->procedures[i];
  }
  return nullptr;
}

bool FailNameHere(State& state, const char* key) {
  return FailName(state, key, state.pointer ? "*" : "", state.Name(), state.nameLength);
}

// ---- elements ----

bool Index(State& state, int64_t& index) {
  if (++state.depth > MaxNesting) return Fail(state, "NoMemory");
  Value value;
  if (!Expression(state, value)) return false;
  --state.depth;
  if (value.kind != ValueInteger) return Fail(state, "IntegerIndex");
  index = value.integer;
  return true;
}

// The name is the current token, "(" follows.
bool ArrayElement(State& state, const SymbolEntry& entry, Place& place) {
  char* location = EntryAddress(state, entry);
  int32_t dimensions = entry.dimensions;
  if (dimensions == 0) return Fail(state, "NoDimensions");
  if (dimensions > MaxArrayDimensions) dimensions = MaxArrayDimensions;
  Next(state);   // the name
  Next(state);   // "("
  int64_t indexes[MaxArrayDimensions] = {};
  int32_t count = 0;
  if (state.token == TokenRParen) return Fail(state, "TooFewDimensions");
  for (;;) {
    if (count == dimensions) return Fail(state, "TooManyDimensions");
    if (!Index(state, indexes[count++])) return false;
    if (state.token == TokenComma) {
      Next(state);
      continue;
    }
    if (state.token == TokenRParen) break;
    if (state.token == TokenFailed) return false;
    return Fail(state, "UnmatchedLParen");
  }
  Next(state);
  if (count < dimensions) return Fail(state, "TooFewDimensions");
  const ArrayRecord* record = reinterpret_cast<const ArrayRecord*>(location);
  if (!record || !record->elements) return Fail(state, "ArrayInit");
  int64_t linear = 0;
  for (int32_t d = 0; d < dimensions; ++d) {
    if (indexes[d] < 0 || indexes[d] >= record->sizes[d]) return Fail(state, "OutOfBounds");
    linear = linear * record->sizes[d] + indexes[d];
  }
  int32_t size = ElementSize(entry.type, entry.structure, entry.fixedLength);
  place = {entry.type, static_cast<char*>(record->elements) + linear * size, entry.structure, entry.fixedLength};
  return true;
}

bool ListElementPlace(State& state, const SymbolEntry& entry, Place& place) {
  const ListRecord* record = reinterpret_cast<const ListRecord*>(EntryAddress(state, entry));
  Next(state);   // the name
  Next(state);   // "("
  if (state.token != TokenRParen) {
    if (state.token == TokenFailed) return false;
    return Fail(state, "MissingListParen");
  }
  Next(state);
  if (!record || !record->made || !record->current) return Fail(state, "NoCurrentElement");
  place = {entry.type, static_cast<char*>(ListElementData(record->current)), entry.structure, entry.fixedLength};
  return true;
}

// ---- structure fields ----

const StructureField* FindField(const StructureDescription* structure, const State& state) {
  for (int32_t i = 0; structure->fields && i < structure->fieldCount; ++i) {
    if (SameName(structure->fields[i].name, state.Name(), state.nameLength)) return &structure->fields[i];
  }
  return nullptr;
}

// The current token is "\".
bool Field(State& state, Place& place) {
  Next(state);
  if (state.token != TokenIdentifier) {
    if (state.token == TokenFailed) return false;
    return Fail(state, "FieldExpected");
  }
  if ((place.type & ~TypePointerFlag) != TypeStructure || !place.structure) return Fail(state, "NoStructure");
  char* base = place.address;
  if (IsPointer(place.type)) {
    void* pointer = nullptr;
    std::memcpy(&pointer, place.address, sizeof pointer);
    if (!pointer) return Fail(state, "NullStructure");
    if (!Readable(pointer, size_t(place.structure->size))) return Fail(state, "InvalidStructure");
    base = static_cast<char*>(pointer);
  }
  const StructureField* field = FindField(place.structure, state);
  if (!field) return FailName(state, "FieldNotFound", "", state.Name(), state.nameLength);
  Next(state);
  int64_t index = 0;
  if (state.token == TokenLBracket) {
    if (field->elements <= 0) return Fail(state, "NoArray");
    Next(state);
    if (!Index(state, index)) return false;
    if (state.token != TokenRBracket) {
      if (state.token == TokenFailed) return false;
      return Fail(state, "UnmatchedLBracket");
    }
    Next(state);
    if (index < 0 || index >= field->elements) return Fail(state, "OutOfBounds");
  }
  int32_t size = ElementSize(field->type, field->structure, field->fixedLength);
  place = {field->type, base + field->offset + index * size, field->structure, field->fixedLength};
  return true;
}

// "(" ")" follows the current token.
bool EmptyParentheses(const State& state) {
  const char* s = state.input + state.position;
  while (*s == ' ' || *s == '\t') ++s;
  if (*s++ != '(') return false;
  while (*s == ' ' || *s == '\t') ++s;
  return *s == ')';
}

// The name chain at the current token (an identifier that is not a library
// function call): the variable, element or field it names.
bool PlaceOf(State& state, Place& place) {
  if (PeekCharacter(state) == '(') {
    if (const SymbolEntry* array = FindArray(state)) {
      if (!ArrayElement(state, *array, place)) return false;
    } else if (const SymbolEntry* list = FindList(state)) {
      if (!ListElementPlace(state, *list, place)) return false;
    } else if (FindProcedure(state)) {
      return Fail(state, "UnexpectedCall");
    } else {
      return FailNameHere(state, "ArrayListNotFound");
    }
  } else {
    if (!FindVariable(state, place)) {
      if (FindArray(state)) return Fail(state, "MissingArrayParen");
      if (FindList(state)) return Fail(state, "MissingListParen");
      if (!state.pointer && IsLibraryFunction(state.Name(), state.nameLength)) {
        return Fail(state, "MissingFunctionParen");
      }
      return FailNameHere(state, "VariableNotFound");
    }
    if (!place.address) return FailNameHere(state, "VariableNotFound");
    Next(state);
  }
  while (state.token == TokenField) {
    if (!Field(state, place)) return false;
  }
  return !state.failed;
}

}  // namespace

bool SameName(const char* stored, const char* name, int32_t length) {
  if (!stored) return false;
  size_t storedLength = std::strlen(stored);
  bool storedDollar = storedLength > 0 && stored[storedLength - 1] == '$';
  bool nameDollar = length > 0 && name[length - 1] == '$';
  if (nameDollar && !storedDollar) return false;
  size_t a = storedLength - (storedDollar ? 1 : 0);
  size_t b = size_t(length) - (nameDollar ? 1 : 0);
  if (a != b) return false;
  for (size_t i = 0; i < a; ++i) {
    if (Lower(stored[i]) != Lower(name[i])) return false;
  }
  return true;
}

bool NameMatches(const char* stored, const char* name, int32_t length) {
  if (stored && (stored[0] == 'v' || stored[0] == 'p') && stored[1] == '_') stored += 2;
  return SameName(stored, name, length);
}

void SetContext(State& state, const DebuggerRecord* thread) {
  if (!thread) thread = CurrentDebuggerRecord();
  state.procedure = nullptr;
  state.frame = nullptr;
  if (thread && thread->depth > 0 && thread->stack) {
    const CallStackEntry& entry = thread->stack[thread->depth - 1];
    state.procedure = FindProcedureByIndex(entry.procedure);
    state.frame = static_cast<char*>(entry.stackPointer);
  }
}

bool ReadPlace(State& state, const Place& place, Value& out) {
  out.Release();
  out.literal = false;
  const char* at = place.address;
  if (IsPointer(place.type)) {
    intptr_t pointer;
    std::memcpy(&pointer, at, sizeof pointer);
    out.integer = pointer;
    return true;
  }
  switch (place.type) {
    case TypeByte: { int8_t v; std::memcpy(&v, at, 1); out.integer = v; return true; }
    case TypeChar: { uint8_t v; std::memcpy(&v, at, 1); out.integer = v; return true; }
    case TypeWord: { int16_t v; std::memcpy(&v, at, 2); out.integer = v; return true; }
    case TypeLong: { int32_t v; std::memcpy(&v, at, 4); out.integer = v; return true; }
    case TypeInteger: { intptr_t v; std::memcpy(&v, at, sizeof v); out.integer = v; return true; }
    case TypeQuad: { int64_t v; std::memcpy(&v, at, 8); out.integer = v; return true; }
    case TypeFloat: { float v; std::memcpy(&v, at, 4); out.kind = ValueFloat; out.number = v; return true; }
    case TypeDouble: { double v; std::memcpy(&v, at, 8); out.kind = ValueFloat; out.number = v; return true; }
    case TypeString: {
      const char* text;
      std::memcpy(&text, at, sizeof text);
      if (!text) return MakeString(state, out, "", 0);
      size_t length = 0;
      if (!ReadableText(text, &length)) return Fail(state, "InvalidString");
      if (length > size_t(MaxTextLength)) return Fail(state, "NoMemory");
      return MakeString(state, out, text, int32_t(length));
    }
    case TypeFixedString: {
      int32_t length = 0;
      while (length < place.fixedLength && at[length]) ++length;
      return MakeString(state, out, at, length);
    }
    case TypeStructure:
      out.kind = ValueStructure;
      out.address = place.address;
      out.structure = place.structure;
      return true;
  }
  return Fail(state, "UnexpectedToken");
}

bool Identifier(State& state, Value& out) {
  if (!state.pointer && PeekCharacter(state) == '(' && IsLibraryFunction(state.Name(), state.nameLength)) {
    return CallFunction(state, out);
  }
  Place place;
  if (!PlaceOf(state, place)) return false;
  return ReadPlace(state, place, out);
}

bool AddressOf(State& state, Value& out) {
  out.Release();
  out.literal = false;
  bool parenthesis = PeekCharacter(state) == '(';
  Place unused;
  if (!state.pointer && IsLibraryFunction(state.Name(), state.nameLength) &&
      (parenthesis || !FindVariable(state, unused))) {
    return Fail(state, "NoAddress");
  }
  if (parenthesis && EmptyParentheses(state)) {
    // "@Array()" is its storage, "@List()" its current element, "@Procedure()" its code.
    if (const SymbolEntry* array = FindArray(state)) {
      const ArrayRecord* record = reinterpret_cast<const ArrayRecord*>(EntryAddress(state, *array));
      if (!record || !record->elements) return Fail(state, "ArrayInit");
      out.integer = reinterpret_cast<intptr_t>(record->elements);
      Next(state); Next(state); Next(state);
      return !state.failed;
    }
    if (!FindList(state)) {
      if (const ProcedureEntry* procedure = FindProcedure(state)) {
        out.integer = reinterpret_cast<intptr_t>(procedure->code);
        Next(state); Next(state); Next(state);
        return !state.failed;
      }
    }
  } else if (!parenthesis) {
    if (!FindVariable(state, unused)) {
      if (const ProcedureEntry* procedure = FindProcedure(state)) {
        out.integer = reinterpret_cast<intptr_t>(procedure->code);
        Next(state);
        return !state.failed;
      }
    }
  }
  Place place;
  if (!PlaceOf(state, place)) return false;
  out.integer = reinterpret_cast<intptr_t>(place.address);
  return true;
}

bool ConstantValue(State& state, Value& out) {
  out.Release();
  const ProgramTables* tables = Tables();
  const ConstantSymbol* found = nullptr;
  for (int32_t i = 0; tables && tables->constants && i < tables->constantCount; ++i) {
    if (SameName(tables->constants[i].name, state.Name(), state.nameLength)) {
      found = &tables->constants[i];
      break;
    }
  }
  if (!found) {
    int resident = ResidentConstant(state, out);
    if (resident < 0) return false;
    if (resident == 0) return FailName(state, "ConstantNotFound", "#", state.Name(), state.nameLength);
  } else {
    switch (found->type) {
      case ConstantFloat:
        out.kind = ValueFloat;
        out.number = found->number;
        break;
      case ConstantString:
        if (!MakeString(state, out, found->text ? found->text : "",
                        found->text ? int32_t(std::strlen(found->text)) : 0)) {
          return false;
        }
        break;
      default:
        out.integer = found->integer;
    }
  }
  out.literal = true;
  Next(state);
  return !state.failed;
}

bool LabelAddress(State& state, Value& out) {
  out.Release();
  out.literal = false;
  const ProgramTables* tables = Tables();
  for (int32_t i = 0; tables && tables->labels && i < tables->labelCount; ++i) {
    if (SameName(tables->labels[i].name, state.Name(), state.nameLength)) {
      out.integer = reinterpret_cast<intptr_t>(tables->labels[i].address);
      Next(state);
      return !state.failed;
    }
  }
  return FailName(state, "LabelNotFound", "?", state.Name(), state.nameLength);
}

bool TargetPlace(State& state, Place& place) {
  if (state.token != TokenIdentifier) {
    if (state.token == TokenFailed) return false;
    return Fail(state, "IdentifierExpected");
  }
  bool parenthesis = PeekCharacter(state) == '(';
  if (parenthesis && !state.pointer && IsLibraryFunction(state.Name(), state.nameLength)) {
    return Fail(state, "UnexpectedCall");
  }
  Place unused;
  bool exists = parenthesis ? (FindArray(state) || FindList(state) || FindProcedure(state))
                            : (FindVariable(state, unused) || FindArray(state) || FindList(state));
  if (!exists) return FailDebugger(state, "TargetNotFound");
  return PlaceOf(state, place);
}

}  // namespace evaluator
}  // namespace kx
