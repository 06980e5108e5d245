// Object numbers of the application's windows, gadgets, images and menu
// items, and the runtime values it passes: the constants of
// app/konstanten.def.
#pragma once

#include <cstdint>

namespace velmora {

#define KONSTANTE(type, name, value) constexpr type name = value;
#include "app/konstanten.def"
#undef KONSTANTE

}  // namespace velmora
