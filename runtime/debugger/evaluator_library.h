// The library functions' shared helpers and the handlers of the memory and
// string functions (evaluator_library_memory.cpp, evaluator_library_strings.cpp);
// the table that names them is evaluator_functions.cpp.
#pragma once

#include <cstring>

#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace evaluator {

// A library function: the arguments (count of them, already type-checked)
// in, the value in out; false with the message set.
using Handler = bool (*)(State& state, Value* args, int count, Value& out);

inline double Number(const Value& v) { return AsDouble(v); }
inline int64_t Integer(const Value& v) { return AsInteger(v); }
inline int32_t Integer32(const Value& v) {
  int64_t n = AsInteger(v);
  return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : int32_t(n);
}
inline const char* Text(const Value& v) { return v.text ? v.text : ""; }
inline int32_t TextLength(const Value& v) { return int32_t(std::strlen(Text(v))); }
inline const void* Address(const Value& v) { return reinterpret_cast<const void*>(intptr_t(AsInteger(v))); }

inline bool SetFloat(Value& out, double value) {
  out.Release();
  out.kind = ValueFloat;
  out.number = value;
  return true;
}

inline bool SetInteger(Value& out, int64_t value) {
  out.Release();
  out.integer = value;
  return true;
}

// A result the runtime built at mark in the thread's temporary buffer:
// copied, and the buffer given back.
bool FromBuffer(State& state, Value& out, int32_t mark, const char* result);

// Memory.
bool PeekB(State&, Value*, int, Value&);
bool PeekC(State&, Value*, int, Value&);
bool PeekD(State&, Value*, int, Value&);
bool PeekF(State&, Value*, int, Value&);
bool PeekI(State&, Value*, int, Value&);
bool PeekL(State&, Value*, int, Value&);
bool PeekQ(State&, Value*, int, Value&);
bool PeekS(State&, Value*, int, Value&);
bool PeekW(State&, Value*, int, Value&);
bool CompareMemoryOf(State&, Value*, int, Value&);
bool CompareMemoryStringOf(State&, Value*, int, Value&);
bool MemorySizeOf(State&, Value*, int, Value&);
bool MemoryStringLengthOf(State&, Value*, int, Value&);

// Strings.
bool AscOf(State&, Value*, int, Value&);
bool BinOf(State&, Value*, int, Value&);
bool ChrOf(State&, Value*, int, Value&);
bool HexOf(State&, Value*, int, Value&);
bool LCaseOf(State&, Value*, int, Value&);
bool LSetOf(State&, Value*, int, Value&);
bool LTrimOf(State&, Value*, int, Value&);
bool LeftOf(State&, Value*, int, Value&);
bool LenOf(State&, Value*, int, Value&);
bool MidOf(State&, Value*, int, Value&);
bool RSetOf(State&, Value*, int, Value&);
bool RTrimOf(State&, Value*, int, Value&);
bool RightOf(State&, Value*, int, Value&);
bool SpaceOf(State&, Value*, int, Value&);
bool StrOf(State&, Value*, int, Value&);
bool StrDOf(State&, Value*, int, Value&);
bool StrFOf(State&, Value*, int, Value&);
bool StrUOf(State&, Value*, int, Value&);
bool TrimBoth(State&, Value*, int, Value&);
bool UCaseOf(State&, Value*, int, Value&);
bool ValOf(State&, Value*, int, Value&);
bool ValDOf(State&, Value*, int, Value&);
bool ValFOf(State&, Value*, int, Value&);
bool CountStringOf(State&, Value*, int, Value&);
bool FindStringOf(State&, Value*, int, Value&);
bool RemoveStringOf(State&, Value*, int, Value&);
bool ReplaceStringOf(State&, Value*, int, Value&);
bool StringByteLengthOf(State&, Value*, int, Value&);
bool StringFieldOf(State&, Value*, int, Value&);

}  // namespace evaluator
}  // namespace kx
