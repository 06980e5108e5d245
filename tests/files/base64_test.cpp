// Base64 encoder and decoder: RFC 4648 values, padding, invalid lengths,
// bounded output and the argument checks.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/files/base64.h"
#include "support/report_recorder.h"

namespace {

std::string Encode(const std::string& input) {
  std::vector<char> out(input.size() * 4 / 3 + 8, '#');
  int32_t n = kx::Base64Encode(input.data(), static_cast<int32_t>(input.size()), out.data(),
                               static_cast<int32_t>(out.size()));
  EXPECT_EQ(out[n], 0) << "terminator after the characters";
  return std::string(out.data(), n);
}

TEST(Base64, EncodesRfc4648Vectors) {
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(Encode("f"), "Zg==");
  EXPECT_EQ(Encode("fo"), "Zm8=");
  EXPECT_EQ(Encode("foo"), "Zm9v");
  EXPECT_EQ(Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
  EXPECT_EQ(recorder.count(), 0u);
}

TEST(Base64, OneTwoOrThreeBytesGiveFourCharacters) {
  char out[16];
  for (int32_t length = 1; length <= 3; ++length) {
    EXPECT_EQ(kx::Base64Encode("abc", length, out, sizeof out), 4) << length;
    EXPECT_EQ(std::strlen(out), 4u);
  }
}

TEST(Base64, EncodingNothingWritesOnlyTheTerminator) {
  kxtest::ReportRecorder recorder;
  char out[8];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(kx::Base64Encode("x", 0, out, sizeof out), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], '#');
  EXPECT_EQ(recorder.lastKey(), "NullLength");
}

TEST(Base64, DecodesPaddedGroups) {
  unsigned char out[16];
  EXPECT_EQ(kx::Base64Decode("Zm9vYmFy", 8, out, sizeof out), 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "foobar");
  EXPECT_EQ(kx::Base64Decode("Zm9vYmE=", 8, out, sizeof out), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "fooba");
  EXPECT_EQ(kx::Base64Decode("Zm9vYg==", 8, out, sizeof out), 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "foob");
}

TEST(Base64, LengthNotAMultipleOfFourDecodesAsNothing) {
  kxtest::ReportRecorder recorder;
  unsigned char out[16];
  for (const char* text : {"Z", "Zm", "Zm9", "Zm9vY", "Zm9vYmF"}) {
    EXPECT_EQ(kx::Base64Decode(text, static_cast<int32_t>(std::strlen(text)), out, sizeof out), 0) << text;
  }
  EXPECT_EQ(recorder.count(), 0u);
}

TEST(Base64, ForeignCharactersDecodeAsZeroWithoutReport) {
  kxtest::ReportRecorder recorder;
  unsigned char out[8];
  ASSERT_EQ(kx::Base64Decode("!!!!", 4, out, sizeof out), 3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(recorder.count(), 0u);
}

TEST(Base64, RoundTripOfRandomData) {
  std::mt19937 random(20261208);
  for (int32_t length = 0; length < 700; length += 1 + length / 40) {
    std::vector<unsigned char> data(static_cast<size_t>(length));
    for (auto& b : data) b = static_cast<unsigned char>(random());
    std::vector<char> text(static_cast<size_t>(4 * ((length + 2) / 3) + 1));
    kxtest::ReportRecorder quiet;  // length 0 is reported, and still works
    const int32_t encoded = kx::Base64Encode(data.data(), length, text.data(), static_cast<int32_t>(text.size()));
    ASSERT_EQ(encoded, 4 * ((length + 2) / 3));
    std::vector<unsigned char> back(static_cast<size_t>(encoded / 4 * 3 + 1), 0xEE);
    const int32_t decoded = kx::Base64Decode(text.data(), encoded, back.data(), static_cast<int32_t>(back.size()));
    ASSERT_EQ(decoded, length);
    EXPECT_EQ(0, std::memcmp(back.data(), data.data(), data.size())) << "length " << length;
    EXPECT_EQ(back[static_cast<size_t>(decoded)], 0);
  }
}

TEST(Base64, NeverWritesPastTheOutputLength) {
  kxtest::ReportRecorder recorder;
  char out[16];
  std::memset(out, '#', sizeof out);
  const std::string input(30, 'x');
  EXPECT_EQ(kx::Base64Encode(input.data(), 30, out, 10), 9);
  EXPECT_EQ(out[9], 0);
  EXPECT_EQ(out[10], '#');
  EXPECT_TRUE(recorder.has("SmallOutput"));

  unsigned char bytes[16];
  std::memset(bytes, '#', sizeof bytes);
  EXPECT_EQ(kx::Base64Decode("Zm9vYmFyZm9vYmFy", 16, bytes, 5), 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes)), "foob");
  EXPECT_EQ(bytes[5], '#');
}

TEST(Base64, ChecksReportMisuse) {
  kxtest::ReportRecorder recorder;
  char out[16];
  kx::Base64Encode(nullptr, 3, out, sizeof out);
  EXPECT_EQ(recorder.lastKey(), "NullBuffer");
  recorder.clear();
  kx::Base64Encode("abc", 3, nullptr, 16);
  EXPECT_EQ(recorder.lastKey(), "NullBuffer");
  recorder.clear();
  kx::Base64Decode("Zm9v", -4, out, sizeof out);
  EXPECT_EQ(recorder.lastKey(), "NegativeLength");
  recorder.clear();
  kx::Base64Decode("Zm9v", 4, out, 0);
  EXPECT_EQ(recorder.lastKey(), "NullLength");
  recorder.clear();

  // 1.33 times the input is the least output accepted silently.
  kx::Base64Encode("abc", 3, out, 4);
  EXPECT_EQ(recorder.count(), 0u);
  kx::Base64Encode("abcdefghijklmnopqrstuvwxyz0123456789ABCD", 40, out, 16);
  ASSERT_TRUE(recorder.has("SmallOutput"));
  for (const auto& report : recorder.reports()) {
    if (report.key == "SmallOutput") {
      EXPECT_EQ(report.group, "Cipher");
      EXPECT_EQ(report.text, "The OutputLength should be atleast 33% more than the InputLength.");
    }
  }
  // Decoding has no output-size check.
  recorder.clear();
  kx::Base64Decode("Zm9vYmFy", 8, out, 4);
  EXPECT_EQ(recorder.count(), 0u);
}

}  // namespace
