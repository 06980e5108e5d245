#include "app/globals.h"

#include <cstddef>

namespace velmora {

#define GLOBAL(type, name) type name{};
#define GLOBAL_ALS(type, name, source) type name{};
#include "app/globals.def"
#undef GLOBAL
#undef GLOBAL_ALS

// Atomics stand in for the plain values in the debugger's tables.
static_assert(sizeof(std::atomic<int32_t>) == 4 && sizeof(std::atomic<float>) == 4);
static_assert(sizeof(std::atomic<int64_t>) == 8);
static_assert(std::atomic<int64_t>::is_always_lock_free);

// ---- structure descriptions ---------------------------------------------------

#define STRUKTUR(name)                                                    \
  const kx::StructureDescription* DescribeStructure(const struct name*) { \
    using S = struct name;                                                \
    static const kx::StructureField fields[] = {
#define FELD(type, field) kx::Field<decltype(S::field)>(#field, offsetof(S, field)),
#define FELD_N(type, field, count) FELD(type, field)
#define ENDE(name)                                                                               \
  }                                                                                              \
  ;                                                                                              \
  static const kx::StructureDescription description = {#name, int32_t(sizeof(S)),               \
                                                       int32_t(sizeof fields / sizeof *fields), fields}; \
  return &description;                                                                           \
  }
#include "app/structures.def"
#undef STRUKTUR
#undef FELD
#undef FELD_N
#undef ENDE

// ---- the global variable table --------------------------------------------------

namespace {
template <class T>
kx::GlobalVariable Zeile(const char* name, T& variable) {
  return {kx::TypeCode<T>, name, const_cast<void*>(static_cast<const volatile void*>(&variable)),
          kx::StructureOf<T>()};
}
}  // namespace

const kx::GlobalVariable GlobaleVariablen[] = {
#define GLOBAL(type, name) Zeile("v_" #name, name),
#define GLOBAL_ALS(type, name, source) Zeile("v_" source, name),
#include "app/globals.def"
#undef GLOBAL
#undef GLOBAL_ALS
};
const int32_t GlobaleVariablenAnzahl = sizeof(GlobaleVariablen) / sizeof(GlobaleVariablen[0]);

}  // namespace velmora
