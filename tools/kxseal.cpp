// kxseal: the sealed-file commands from the command line.
//
//   kxseal seal   SOURCE DESTINATION SECRET_HEX
//   kxseal unseal SOURCE DESTINATION SECRET_HEX
//
// Prints the command's result (1 or 0) as its last line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/files/seal.h"
#include "runtime/runtime.h"

namespace {

bool FromHex(const char* text, std::vector<unsigned char>& bytes) {
  size_t length = std::strlen(text);
  if (length == 0 || length % 2) return false;
  for (size_t i = 0; i < length; i += 2) {
    unsigned value = 0;
    if (std::sscanf(text + i, "%2x", &value) != 1) return false;
    bytes.push_back(static_cast<unsigned char>(value));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<unsigned char> secret;
  if (argc != 5 || !FromHex(argv[4], secret) ||
      (std::strcmp(argv[1], "seal") != 0 && std::strcmp(argv[1], "unseal") != 0)) {
    std::fprintf(stderr, "usage: kxseal seal|unseal SOURCE DESTINATION SECRET_HEX\n");
    return 2;
  }
  kx::RuntimeStart();
  int32_t result = std::strcmp(argv[1], "seal") == 0
                       ? kx::SealFile(argv[2], argv[3], secret.data(), int32_t(secret.size()))
                       : kx::UnsealFile(argv[2], argv[3], secret.data(), int32_t(secret.size()));
  std::printf("%d\n", result);
  std::fflush(stdout);
  kx::RuntimeEnd();
  return result ? 0 : 1;
}
