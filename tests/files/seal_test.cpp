// Sealed files: round trips at the chunk borders, and every kind of damage a
// transfer can suffer (a changed byte, a cut end, a dropped or moved chunk,
// the wrong secret) refused with nothing left at the destination.
#include <gtest/gtest.h>

#include <string>

#include "runtime/files/seal.h"
#include "support/random_bytes.h"
#include "support/temp_folder.h"

namespace {

using kxtest::TempFolder;

constexpr size_t C = kx::SealChunkSize;
constexpr size_t Record = C + kx::SealTagSize;
const std::string Secret = "\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA";

struct Sealed {
  TempFolder folder;
  std::string plain = folder / "plain.bin";
  std::string sealed = folder / "sealed.bin";
  std::string opened = folder / "opened.bin";
  std::string data;

  explicit Sealed(size_t size, uint32_t seed = 7) : data(kxtest::RandomBytes(size, seed)) {
    TempFolder::Write(plain, data);
    EXPECT_EQ(kx::SealFile(plain.c_str(), sealed.c_str(), Secret.data(), int32_t(Secret.size())), 1);
  }
  std::string Bytes() const { return TempFolder::Read(sealed); }
  void Replace(const std::string& bytes) const { TempFolder::Write(sealed, bytes); }
  // Opens with the secret; a refusal must leave no destination behind, even
  // one that stood there before.
  bool Open(const std::string& secret = Secret) const {
    TempFolder::Write(opened, "an older file");
    int32_t result = kx::UnsealFile(sealed.c_str(), opened.c_str(), secret.data(), int32_t(secret.size()));
    if (!result) {
      EXPECT_FALSE(kxtest::Exists(opened));
    }
    return result == 1;
  }
};

TEST(Seal, RoundTripAtChunkBorders) {
  for (size_t size : {size_t(0), size_t(1), C - 1, C, C + 1, 2 * C, 2 * C + 17}) {
    SCOPED_TRACE(size);
    Sealed s(size, uint32_t(size) + 3);
    std::string sealed = s.Bytes();
    size_t chunks = size == 0 ? 1 : (size + C - 1) / C;
    EXPECT_EQ(sealed.size(), kx::SealHeaderSize + size + chunks * kx::SealTagSize);
    EXPECT_EQ(sealed.substr(0, 9), std::string("KXSEALED\x01", 9));
    ASSERT_TRUE(s.Open());
    EXPECT_TRUE(TempFolder::Read(s.opened) == s.data);
  }
}

TEST(Seal, EverySealHasItsOwnSaltAndHidesThePlaintext) {
  Sealed s(200000);
  std::string first = s.Bytes();
  ASSERT_EQ(kx::SealFile(s.plain.c_str(), s.sealed.c_str(), Secret.data(), int32_t(Secret.size())), 1);
  std::string second = s.Bytes();
  EXPECT_NE(first.substr(9, 16), second.substr(9, 16));
  EXPECT_NE(first.substr(kx::SealHeaderSize, 64), second.substr(kx::SealHeaderSize, 64));
  EXPECT_EQ(first.find(s.data.substr(1000, 32)), std::string::npos);
}

TEST(Seal, DamageAndTheWrongSecretAreRefused) {
  Sealed s(2 * C + 5000);
  const std::string good = s.Bytes();
  ASSERT_EQ(good.size(), kx::SealHeaderSize + 3 * Record - C + 5000);
  const size_t chunk0 = kx::SealHeaderSize, chunk1 = chunk0 + Record, chunk2 = chunk1 + Record;

  auto flipped = [&](size_t at) {
    std::string bytes = good;
    bytes[at] = char(bytes[at] ^ 0x01);
    return bytes;
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"byte in the first chunk", flipped(chunk0 + 10)},
      {"byte in the last chunk's tag", flipped(good.size() - 1)},
      {"byte of the salt", flipped(12)},
      {"version", flipped(8)},
      {"magic", flipped(0)},
      {"one byte cut off", good.substr(0, good.size() - 1)},
      {"last chunk dropped", good.substr(0, chunk2)},
      {"last two chunks dropped", good.substr(0, chunk1)},
      {"header only", good.substr(0, chunk0)},
      {"chunks 1 and 2 swapped", good.substr(0, chunk0) + good.substr(chunk1, Record) +
                                     good.substr(chunk0, Record) + good.substr(chunk2)},
      {"a chunk doubled", good.substr(0, chunk1) + good.substr(chunk0, Record) + good.substr(chunk1)},
      {"bytes appended", good + std::string(20, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s.Replace(c.bytes);
    EXPECT_FALSE(s.Open());
  }

  s.Replace(good);
  std::string wrong = Secret;
  wrong[9] = char(wrong[9] ^ 0x10);
  EXPECT_FALSE(s.Open(wrong));
  EXPECT_FALSE(s.Open(Secret.substr(0, 9)));
  EXPECT_TRUE(s.Open());  // the genuine file still opens
  EXPECT_TRUE(TempFolder::Read(s.opened) == s.data);
}

TEST(Seal, MissingSourceLeavesNothing) {
  TempFolder folder;
  EXPECT_EQ(kx::SealFile((folder / "none").c_str(), (folder / "out").c_str(), Secret.data(), 10), 0);
  EXPECT_FALSE(kxtest::Exists(folder / "out"));
  EXPECT_EQ(kx::UnsealFile((folder / "none").c_str(), (folder / "out").c_str(), Secret.data(), 10), 0);
  EXPECT_FALSE(kxtest::Exists(folder / "out"));
}

}  // namespace
