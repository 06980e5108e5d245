// The application's debug symbol tables, handed to the debugger before it starts.
#pragma once

#include "runtime/debugger/symbols.h"

namespace velmora {

const kx::DebugSymbols* Symboltabellen();

}  // namespace velmora
