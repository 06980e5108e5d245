// Damaged and hostile image data: truncated blocks, lying sizes and offsets
// and flipped bytes give no image or a valid one, and are never read past
// their end (each block ends right before a page that may not be touched).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui/image_samples.h"
#include "runtime/gui/image.h"

namespace {

// A copy of the bytes that ends where an inaccessible page begins.
class GuardedBlock {
 public:
  explicit GuardedBlock(const std::string& bytes) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    const size_t pages = (bytes.size() + page - 1) / page;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE, PAGE_NOACCESS));
    if (pages) VirtualAlloc(base_, pages * page, MEM_COMMIT, PAGE_READWRITE);
    data_ = base_ + pages * page - bytes.size();
    if (!bytes.empty()) memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBlock() { VirtualFree(base_, 0, MEM_RELEASE); }
  const uint8_t* data() const { return data_; }

 private:
  uint8_t* base_;
  uint8_t* data_;
};

struct Outcome {
  int images = 0;
  int refused = 0;
};

void Catch(const std::string& bytes, Outcome* outcome) {
  GuardedBlock block(bytes);
  // An empty block still has a valid address: the end of its guard.
  const intptr_t handle = kx::CatchImage(1, block.data(), static_cast<int32_t>(bytes.size()));
  if (handle == 0) {
    ++outcome->refused;
    ASSERT_EQ(kx::FindImage(1), nullptr);
    return;
  }
  ++outcome->images;
  kx::ImageObject* img = kx::FindImage(1);
  ASSERT_NE(img, nullptr);
  ASSERT_EQ(reinterpret_cast<intptr_t>(img->handle), handle);
  ICONINFO icon{};
  const bool bitmap = GetObjectType(img->handle) == OBJ_BITMAP;
  ASSERT_TRUE(bitmap || GetIconInfo(static_cast<HICON>(img->handle), &icon));
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  ASSERT_GE(img->width, 1);
  ASSERT_GE(img->height, 1);
  kx::FreeImage(1);
}

void Put32(std::string& s, size_t at, uint32_t v) {
  if (at + 4 <= s.size()) memcpy(&s[at], &v, 4);
}

// Deterministic bytes: the same blocks on every run.
uint32_t Next(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

void Damage(const std::string& good, uint32_t seed, int rounds, Outcome* outcome) {
  // Truncated at every few bytes.
  const size_t step = good.size() / 40 + 1;
  for (size_t length = 0; length < good.size(); length += step) {
    Catch(good.substr(0, length), outcome);
  }
  // Bytes of the first 200 (headers, directories, chunk sizes) replaced.
  uint32_t state = seed;
  for (int round = 0; round < rounds; ++round) {
    std::string bad = good;
    const int changes = 1 + static_cast<int>(Next(&state) % 4);
    for (int c = 0; c < changes; ++c) {
      const size_t at = Next(&state) % std::min<size_t>(bad.size(), 200);
      if (Next(&state) & 1) {
        bad[at] = static_cast<char>(Next(&state));
      } else {
        Put32(bad, at, Next(&state) & 1 ? 0x7FFFFFF0u : Next(&state) % 0x20000);
      }
    }
    Catch(bad, outcome);
  }
}

uint32_t Pixel(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x * 20) << 16 | static_cast<uint32_t>(y * 9); }

class DamagedImages : public testing::Test {
 protected:
  void SetUp() override { kx::UsePNGImageDecoder(); }
};

TEST_F(DamagedImages, PngBlocks) {
  Outcome outcome;
  Damage(kxtest::MakePng(12, 9, PNG_COLOR_TYPE_RGB, 8, Pixel), 1, 60, &outcome);
  Damage(kxtest::MakePng(12, 9, PNG_COLOR_TYPE_RGBA, 16, Pixel, true), 2, 60, &outcome);
  Damage(kxtest::MakePng(12, 9, PNG_COLOR_TYPE_PALETTE, 4, [](int x, int) { return 0xFF000000u | x; }), 3, 40,
         &outcome);
  EXPECT_GT(outcome.refused, 100);
  EXPECT_GT(outcome.images, 0);
}

TEST_F(DamagedImages, BitmapBlocks) {
  Outcome outcome;
  const std::string good = kxtest::MakeBmp(10, 7, 24, Pixel);
  Damage(good, 4, 80, &outcome);
  Damage(kxtest::MakeBmp(3, 3, 32, Pixel), 5, 40, &outcome);
  // Lying fields one by one: pixel offset, width, height, colour count,
  // header size.
  for (size_t at : {10u, 18u, 22u, 46u, 14u}) {
    for (uint32_t value : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x10000u, 1000u}) {
      std::string bad = good;
      Put32(bad, at, value);
      Catch(bad, &outcome);
    }
  }
  EXPECT_GT(outcome.refused, 50);
}

TEST_F(DamagedImages, IconBlocks) {
  Outcome outcome;
  const std::string good = kxtest::MakeIco({{16, 8, 0xFF}, {16, 32, 0xFF00}, {32, 4, 0xFF0000}});
  Damage(good, 6, 80, &outcome);
  // Lying directory: entry count, byte count and offset of the chosen entry,
  // and its picture's own header.
  const size_t chosen = 6 + 16;
  const size_t picture = 6 + 3 * 16 + 40 + 256 * 4 + 16 * 16 + 2 * 16 * 4;
  for (uint32_t value : {0x7FFFFFFFu, 0xFFFFFFF0u, 0x8000u, 0u}) {
    std::string bad = good;
    Put32(bad, 4, value);  // count (and the first entry's size bytes)
    Catch(bad, &outcome);
    bad = good;
    Put32(bad, chosen + 8, value);
    Catch(bad, &outcome);
    bad = good;
    Put32(bad, chosen + 12, value);
    Catch(bad, &outcome);
    for (size_t field : {0u, 4u, 8u, 32u}) {
      bad = good;
      Put32(bad, picture + field, value);
      Catch(bad, &outcome);
    }
  }
  EXPECT_GT(outcome.refused, 50);
}

}  // namespace
