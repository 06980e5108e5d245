// Memory blocks, PeekText and the UTF-8 <-> Latin-1 conversions.
#include "runtime/core/memory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/core/strings.h"
#include "support/report_recorder.h"

namespace {

class Memory : public testing::Test {
 protected:
  void SetUp() override { mark_ = kx::GetStringMark(); }
  void TearDown() override { kx::SetStringMark(mark_); }
  std::string Peek(const void* address, int32_t length, int32_t format) {
    return kx::PeekText(address, length, format, mark_);
  }
  int32_t mark_ = 0;
};

TEST_F(Memory, AllocateBlockChecksItsSize) {
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::AllocateBlock(0), nullptr);
  EXPECT_EQ(recorder.lastKey(), "NullAlloc");
  EXPECT_EQ(kx::AllocateBlock(-5), nullptr);
  EXPECT_EQ(recorder.lastKey(), "NegativeAlloc");
  ASSERT_EQ(recorder.count(), 2u);
  EXPECT_EQ(recorder.reports()[0].group, "Memory");

  recorder.clear();
  auto* block = static_cast<unsigned char*>(kx::AllocateBlock(100000));
  ASSERT_NE(block, nullptr);
  size_t nonZero = 0;
  for (int i = 0; i < 100000; i++) nonZero += block[i] != 0;
  EXPECT_EQ(nonZero, 0u);
  EXPECT_GE(HeapSize(kx::MemoryHeap(), 0, block), 100000u);
  kx::FreeBlock(block);
  kx::FreeBlock(nullptr);
  EXPECT_EQ(recorder.count(), 0u);
}

TEST_F(Memory, PeekTextUtf16) {
  const wchar_t text[] = L"Gr\u00fc\u00dfe";  // Grüße
  EXPECT_EQ(Peek(text, -1, kx::FormatUtf16), "Gr\xFC\xDF" "e");
  EXPECT_EQ(Peek(text, 3, kx::FormatUtf16), "Gr\xFC");
  EXPECT_EQ(Peek(text, 100, kx::FormatUtf16), "Gr\xFC\xDF" "e");  // never past the zero
  EXPECT_EQ(Peek(text, 0, kx::FormatUtf16), "");
  // An odd address and units made of two bytes.
  char odd[16] = {'x', 'A', 0, 'B', 0, 0, 0};
  EXPECT_EQ(Peek(odd + 1, -1, kx::FormatUtf16), "AB");
}

TEST_F(Memory, PeekTextUtf8AndBytes) {
  EXPECT_EQ(Peek("Gr\xC3\xBC\xC3\x9F" "e", -1, kx::FormatUtf8), "Gr\xFC\xDF" "e");
  EXPECT_EQ(Peek("\xC3\xBC", 1, kx::FormatUtf8), "");           // cut off: nothing, no error
  EXPECT_EQ(Peek("ab\xC3\xBC", 3, kx::FormatUtf8), "ab");
  EXPECT_EQ(Peek("a\xE2\x82\xAC", -1, kx::FormatUtf8), "");     // the euro sign is above U+00FF
  EXPECT_EQ(Peek("a\xBC" "b", -1, kx::FormatUtf8), "");         // a stray continuation byte
  EXPECT_EQ(Peek("a\xC3" "b", -1, kx::FormatUtf8), "");         // a missing one
  EXPECT_EQ(Peek("\xF0\x80\x81\x81", -1, kx::FormatUtf8), "A"); // 4 bytes, value 0x41
  EXPECT_EQ(Peek("raw\xFC", -1, 0), "raw\xFC");
  EXPECT_EQ(Peek("raw\xFC", 2, 7), "ra");
  const char withZero[] = "ab\0cd";
  EXPECT_EQ(Peek(withZero, 5, 0), "ab");
}

TEST_F(Memory, PeekTextChecksItsArguments) {
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(Peek(nullptr, -1, 0), "");
  EXPECT_EQ(recorder.lastKey(), "NullAddress");
  EXPECT_EQ(Peek("abc", -2, 0), "");
  EXPECT_EQ(recorder.lastKey(), "WrongLength");
  EXPECT_EQ(recorder.count(), 2u);
}

TEST_F(Memory, PeekTextOfATemporary) {
  // The text to read lies in the buffer, where the result goes too.
  int32_t m = kx::GetStringMark();
  kx::ReturnString("Gr\xC3\xBC\xC3\x9F" "e", -1, m);
  EXPECT_STREQ(kx::PeekText(kx::GetStringBufferBase() + m, -1, kx::FormatUtf8, m), "Gr\xFC\xDF" "e");
  const wchar_t wide[] = L"wide";
  kx::ReturnString(reinterpret_cast<const char*>(wide), sizeof wide, m);
  EXPECT_STREQ(kx::PeekText(kx::GetStringBufferBase() + m, -1, kx::FormatUtf16, m), "wide");
}

TEST_F(Memory, ConversionOfADroppedTemporary) {
  // The source was given back but is still read; the result, built just
  // below it, grows over it as it is written.
  int32_t m = kx::GetStringMark();
  char* dropped = kx::ReturnString("\xE4\xF6\xFC\xDF", -1, m + 1);
  kx::SetStringMark(m);
  EXPECT_STREQ(kx::Latin1ToUtf8String(dropped, -1, m), "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F");
}

TEST_F(Memory, Latin1AndUtf8RoundTrip) {
  std::string all;
  for (int c = 1; c < 256; c++) all += static_cast<char>(c);
  int32_t needed = kx::Latin1ToUtf8(all.data(), 255, nullptr, 0);
  EXPECT_EQ(needed, 127 + 2 * 128);
  std::string utf8(needed, '\0');
  EXPECT_EQ(kx::Latin1ToUtf8(all.data(), 255, utf8.data(), needed), needed);
  EXPECT_EQ(utf8.substr(0x7F - 1, 3), "\x7F\xC2\x80");
  EXPECT_EQ(utf8.substr(utf8.size() - 2), "\xC3\xBF");
  std::string back(255, '\0');
  EXPECT_EQ(kx::Utf8ToLatin1(utf8.data(), needed, back.data(), 255), 255);
  EXPECT_EQ(back, all);

  // Full outputs stop the conversion without error.
  char small[3];
  EXPECT_EQ(kx::Latin1ToUtf8("a\xFC", 2, small, 2), 1);  // the two bytes of ü do not fit
  EXPECT_EQ(kx::Utf8ToLatin1("abcdef", 6, small, 3), 3);
  EXPECT_EQ(kx::Utf8ToLatin1("\xFF", 1, small, 3), -1);

  int32_t m = kx::GetStringMark();
  EXPECT_STREQ(kx::Latin1ToUtf8String("\xC4pfel", -1, m), "\xC3\x84pfel");
  EXPECT_STREQ(kx::Utf8ToLatin1String(kx::GetStringBufferBase() + m, -1, m), "\xC4pfel");
  EXPECT_STREQ(kx::Utf8ToLatin1String("\xE2\x82\xAC", -1, m), "");
}

}  // namespace
