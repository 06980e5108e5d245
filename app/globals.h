// Shared state of the transfer application.
//
// The pipelines hand work on to each other only through these globals, polled
// from their threads; there is no lock.  The structures are listed in
// app/structures.def, the globals in app/globals.def: each is written there
// once, and this header, app/globals.cpp and the debugger's tables are made
// from those lists.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/debugger/symbols.h"

namespace velmora {

// ---- structures (one global of each, named like the type) -----------------

#define STRUKTUR(name) struct name {
#define FELD(type, field) type field;
#define FELD_N(type, field, count) type field[count];
#define ENDE(name) \
  }                \
  ;                \
  const kx::StructureDescription* DescribeStructure(const struct name*);
#include "app/structures.def"
#undef STRUKTUR
#undef FELD
#undef FELD_N
#undef ENDE

// ---- globals -----------------------------------------------------------------

#define GLOBAL(type, name) extern type name;
#define GLOBAL_ALS(type, name, source) extern type name;
#include "app/globals.def"
#undef GLOBAL
#undef GLOBAL_ALS

// The debugger's global variable table (names as stored).
extern const kx::GlobalVariable GlobaleVariablen[];
extern const int32_t GlobaleVariablenAnzahl;

}  // namespace velmora
