// The small templates that let the build derive a program's debug symbol
// tables from the program's own C++ declarations (the records themselves are
// in symbols.h and evaluator_symbols.h).
//
// - TypeCode<T>: the debugger's type code of a C++ type (atomics count as
//   the value they hold, char* is a string variable, a structure is known by
//   its description, see below; bit 7 marks other pointers).
// - A program makes a structure known to TypeCode by a function
//   DescribeStructure(const T*) in the structure's namespace (found by
//   argument-dependent lookup) that returns its StructureDescription;
//   Field<T> builds one field record from offsetof.
// - ProcedureSymbols<&F>: argument count, argument type codes and their
//   offsets in the procedure's frame, and the result type code, all from F's
//   signature.
// - ProcedureFrame<&F>: the frame a procedure reports on entry.  It copies
//   the arguments to the offsets the procedure table gives, calls
//   DebuggerProcedureEnter with the frame's address and DebuggerProcedureLeave
//   when the procedure is left (any way out of its scope).
// - ArgumentLocals<&F>: the rows of F's variable table (symbols[0] of its
//   ProcedureEntry) for its arguments, ended by a row of type SymbolTableEnd.
// - ConstantRow(name, value): the row of the program's table of constants
//   for a named C++ constant; its type (integer, float, string) follows the
//   C++ type.
#pragma once

#include <array>
#include <concepts>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <type_traits>

#include "runtime/debugger/evaluator_symbols.h"
#include "runtime/debugger/hooks.h"
#include "runtime/debugger/symbols.h"

namespace kx {

// ---- type codes ------------------------------------------------------------------

namespace symbols_detail {
template <class T>
concept Described = requires(const T* p) {
  { DescribeStructure(p) } -> std::convertible_to<const StructureDescription*>;
};
template <class T> struct Unwrapped { using type = T; };
template <class T> struct Unwrapped<std::atomic<T>> { using type = T; };
}  // namespace symbols_detail

template <class T>
constexpr uint8_t TypeCodeOf() {
  using U = typename symbols_detail::Unwrapped<std::remove_cv_t<T>>::type;
  if constexpr (std::is_void_v<U>) return 0;
  else if constexpr (std::is_same_v<U, char*> || std::is_same_v<U, const char*>) return TypeString;
  else if constexpr (std::is_pointer_v<U>) return TypeCodeOf<std::remove_pointer_t<U>>() | TypePointerFlag;
  else if constexpr (std::is_same_v<U, char>) return TypeChar;
  else if constexpr (std::is_same_v<U, float>) return TypeFloat;
  else if constexpr (std::is_same_v<U, double>) return TypeDouble;
  else if constexpr (std::is_integral_v<U> && sizeof(U) == 1) return TypeByte;
  else if constexpr (std::is_integral_v<U> && sizeof(U) == 2) return TypeWord;
  else if constexpr (std::is_integral_v<U> && sizeof(U) == 4) return TypeLong;
  else if constexpr (std::is_integral_v<U> && sizeof(U) == 8) return TypeQuad;
  else if constexpr (std::is_class_v<U> && symbols_detail::Described<U>) return TypeStructure;
  else static_assert(sizeof(U) == 0, "no debugger type code for this type");
}

template <class T>
inline constexpr uint8_t TypeCode = TypeCodeOf<T>();

// The description of T if it is a structure (an atomic's value, an array's
// element), else nullptr.
template <class T>
const StructureDescription* StructureOf() {
  using U = typename symbols_detail::Unwrapped<std::remove_cv_t<std::remove_all_extents_t<T>>>::type;
  if constexpr (std::is_class_v<U> && symbols_detail::Described<U>) return DescribeStructure(static_cast<const U*>(nullptr));
  else return nullptr;
}

// The field record of member `name` of type T at `offset`.
template <class T>
StructureField Field(const char* name, size_t offset) {
  using Element = std::remove_all_extents_t<T>;
  int32_t count = std::is_array_v<T> ? int32_t(sizeof(T) / sizeof(Element)) : 0;
  return {TypeCode<Element>, name, int32_t(offset), StructureOf<Element>(), count, 0};
}

// ---- constants -------------------------------------------------------------------

template <class T>
constexpr ConstantSymbol ConstantRow(const char* name, T value) {
  if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return {name, ConstantInteger, int64_t(value), 0.0, nullptr};
  } else if constexpr (std::is_floating_point_v<T>) {
    return {name, ConstantFloat, 0, double(value), nullptr};
  } else {
    static_assert(std::is_convertible_v<T, const char*>, "a constant is a number or a text");
    return {name, ConstantString, 0, 0.0, value};
  }
}

// ---- procedures -----------------------------------------------------------------------

template <class... Arguments>
struct FrameLayout {
  static constexpr size_t count = sizeof...(Arguments);
  static constexpr std::array<int32_t, count> offsets = [] {
    std::array<int32_t, count> result{};
    size_t at = 0, i = 0;
    ((at = (at + alignof(Arguments) - 1) / alignof(Arguments) * alignof(Arguments), result[i++] = int32_t(at),
      at += sizeof(Arguments)),
     ...);
    return result;
  }();
  static constexpr size_t size = [] {
    size_t at = 0;
    ((at = (at + alignof(Arguments) - 1) / alignof(Arguments) * alignof(Arguments) + sizeof(Arguments)), ...);
    return at ? at : 1;
  }();
  static constexpr std::array<ProcedureArgument, count ? count : 1> arguments = [] {
    std::array<ProcedureArgument, count ? count : 1> result{};
    size_t i = 0;
    ((result[i] = {TypeCode<Arguments>, offsets[i]}, ++i), ...);
    return result;
  }();
};

template <auto F>
struct ProcedureSymbols;

template <class Result, class... Arguments, Result (*F)(Arguments...)>
struct ProcedureSymbols<F> {
  using Layout = FrameLayout<std::decay_t<Arguments>...>;
  static constexpr uint8_t argumentCount = uint8_t(sizeof...(Arguments));
  static constexpr uint8_t resultType = TypeCode<Result>;
  static const ProcedureArgument* arguments() { return argumentCount ? Layout::arguments.data() : nullptr; }
  static const void* code() { return reinterpret_cast<const void*>(F); }
  static constexpr int32_t offset(size_t i) { return Layout::offsets[i]; }
  template <size_t I>
  using Argument = std::decay_t<std::tuple_element_t<I, std::tuple<Arguments...>>>;
};

// The procedure table row of F.  `locals` is its variable table (or null).
template <auto F>
ProcedureEntry ProcedureRow(uint16_t index, const char* name, const SymbolEntry* locals) {
  using S = ProcedureSymbols<F>;
  return {S::argumentCount, S::arguments(), S::resultType, name, S::code(), {locals, nullptr, nullptr}, index};
}

// The local table rows of F's arguments, named as given (count = F's argument count).
template <auto F>
struct ArgumentLocals;

template <class Result, class... Arguments, Result (*F)(Arguments...)>
struct ArgumentLocals<F> {
  using Layout = FrameLayout<std::decay_t<Arguments>...>;
  static std::array<SymbolEntry, sizeof...(Arguments) + 1> Rows(const char* const* names) {
    std::array<SymbolEntry, sizeof...(Arguments) + 1> rows{};
    size_t i = 0;
    ((rows[i] = {TypeCode<std::decay_t<Arguments>>, ScopeLocal, names[i], Layout::offsets[i],
                 StructureOf<std::decay_t<Arguments>>(), 0, 0},
      ++i),
     ...);
    rows[i] = {SymbolTableEnd, 0, nullptr, 0, nullptr, 0, 0};
    return rows;
  }
};

template <auto F>
class ProcedureFrame;

template <class Result, class... Arguments, Result (*F)(Arguments...)>
class ProcedureFrame<F> {
  using Layout = FrameLayout<std::decay_t<Arguments>...>;

 public:
  explicit ProcedureFrame(int32_t index, std::decay_t<Arguments>... arguments) {
    size_t i = 0;
    ((std::memcpy(bytes_ + Layout::offsets[i], &arguments, sizeof arguments), ++i), ...);
    DebuggerProcedureEnter(index, bytes_);
  }
  ~ProcedureFrame() { DebuggerProcedureLeave(); }
  ProcedureFrame(const ProcedureFrame&) = delete;
  ProcedureFrame& operator=(const ProcedureFrame&) = delete;

 private:
  alignas(16) unsigned char bytes_[Layout::size] = {};
};

}  // namespace kx
