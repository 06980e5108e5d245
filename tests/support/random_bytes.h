// Test data whose bytes differ everywhere (xorshift), so that a lost, doubled
// or shifted piece of a transfer shows; the same seed gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kxtest {

inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed | 1u;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<char>(x);
  }
  return bytes;
}

}  // namespace kxtest
