// The bytes the packer writes must not change with the way zlib is built
// (compiler, optimisation, zlib's own speed knobs): a receiver's archive and
// a resumed upload's parts are compared byte for byte.  Fixed inputs are
// packed, and the archives' hashes are compared with the ones the mingw
// package's prebuilt zlib gave for the same inputs.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/files/pack.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using kxtest::TempFolder;

// FNV-1a, 64 bits: independent of zlib, so that a fault in it cannot hide.
std::string Hash(const std::string& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// Compressible text: words of a small vocabulary in seeded order, with
// numbers, in lines (about 3 : 1 at level 9).
std::string Text(size_t size) {
  static const char* const words[] = {"the", "of", "and", "packing", "archive", "velmora", "transfer",
                                      "folder", "server", "split", "part", "upload", "download",
                                      "block", "deflate", "with", "from", "which", "there", "would"};
  std::string text;
  uint32_t x = 7;
  while (text.size() < size) {
    for (int k = 0; k < 12; ++k) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      text += words[x % 20];
      text += ' ';
    }
    text += std::to_string(x % 100000);
    text += "\r\n";
  }
  text.resize(size);
  return text;
}

// Long runs and repeats at every distance class: matches of the longest
// length, matches that reach back across the whole window, and short ones.
std::string Runs(size_t size) {
  std::string random = kxtest::RandomBytes(40000, 99);
  std::string data;
  size_t step = 0;
  while (data.size() < size) {
    switch (step++ % 4) {
      case 0: data.append(300 + step * 7 % 900, static_cast<char>(step)); break;
      case 1: data += random.substr(step * 131 % 30000, 2000); break;
      case 2: data += data.substr(data.size() - std::min<size_t>(data.size(), 32000), 700); break;
      default: data += random.substr(step % 17, 50) + random.substr(step % 17, 50); break;
    }
  }
  data.resize(size);
  return data;
}

struct Input {
  const char* name;
  std::string bytes;
};

std::vector<Input> Inputs() {
  return {{"text.txt", Text(400000)}, {"random.bin", kxtest::RandomBytes(300000, 12345)},
          {"runs.bin", Runs(300000)}};
}

// The file with a fixed local last-write time and plain attributes, so that
// its archive entry depends on nothing but the bytes.
void WriteFixedFile(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(kxtest::WriteBytes(path, bytes));
  SYSTEMTIME local = {2024, 1, 1, 15, 12, 34, 56, 0};
  FILETIME localTime, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
  ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseHandle(h);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE));
}

}  // namespace

// Every packed file and the archive holding all three, byte for byte.
TEST(ArchiveBytes, PackedArchivesAsBefore) {
  TempFolder dir;
  const char* const expected[] = {"ecb978d5157b6e3a", "614c5fcb384e2b8b", "589b8e72aa317899"};
  const std::vector<Input> inputs = Inputs();
  const std::string all = dir / "all.zip";
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string file = dir / inputs[i].name;
    WriteFixedFile(file, inputs[i].bytes);
    const std::string one = dir / (std::string(inputs[i].name) + ".zip");
    ASSERT_EQ(kx::PackFile(one.c_str(), file.c_str(), 0), 1);
    EXPECT_EQ(Hash(TempFolder::Read(one)), expected[i]) << inputs[i].name;
    ASSERT_EQ(kx::PackFile(all.c_str(), file.c_str(), 0), 1);
  }
  EXPECT_EQ(Hash(TempFolder::Read(all)), "3896a898dbffdd46");
}
