// Texts the program tests write for and read from a transfer server: the
// access file's Base64 lines and the one-line files of the server fixture.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/temp_folder.h"

namespace apptest {

// Standard Base64 with padding, as the access file holds its four lines.
inline std::string Base64(const std::string& text) {
  static const char* zeichen = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < text.size(); i += 3) {
    uint32_t n = uint32_t(uint8_t(text[i])) << 16;
    if (i + 1 < text.size()) n |= uint32_t(uint8_t(text[i + 1])) << 8;
    if (i + 2 < text.size()) n |= uint32_t(uint8_t(text[i + 2]));
    out += zeichen[n >> 18 & 63];
    out += zeichen[n >> 12 & 63];
    out += i + 1 < text.size() ? zeichen[n >> 6 & 63] : '=';
    out += i + 2 < text.size() ? zeichen[n & 63] : '=';
  }
  return out;
}

// A one-line file's line, without its line end.
inline std::string Zeile(const std::string& datei) {
  std::string text = kxtest::ReadBytes(datei);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace apptest
