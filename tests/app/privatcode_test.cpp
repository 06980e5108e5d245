// The private code as people read, type and copy it, and the secret's
// bytes.  The switch, the resume record and the extension file are tested
// through the program (privat_test).
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/globals.h"
#include "app/privat.h"
#include "runtime/core/strings.h"

using namespace velmora;

namespace {

std::string S(const char* text) { return text ? text : ""; }

std::string Gezogen() {
  int32_t mark = kx::GetStringMark();
  std::string text = Geheimnis_Ziehen(mark);
  kx::SetStringMark(mark);
  return text;
}

std::string Code(int64_t ordner, const char* geheimnis) {
  int32_t mark = kx::GetStringMark();
  std::string text = Privatcode(ordner, geheimnis, mark);
  kx::SetStringMark(mark);
  return text;
}

// The folder number and secret read from a typed code; "-" when it is not private.
std::string Gelesen(const char* code) {
  int64_t ordner = 0;
  char* geheimnis = nullptr;
  std::string ergebnis = "-";
  if (Privatcode_Lesen(code, &ordner, &geheimnis)) ergebnis = std::to_string(ordner) + " " + S(geheimnis);
  kx::AssignString(&geheimnis, nullptr);
  return ergebnis;
}

TEST(Privatcode, SecretsAreDrawnFreshAndWrittenInCrockfordBase32) {
  std::set<std::string> gesehen;
  for (int i = 0; i < 20; ++i) {
    std::string g = Gezogen();
    ASSERT_EQ(g.size(), 16u);
    EXPECT_EQ(g.find_first_not_of("0123456789ABCDEFGHJKMNPQRSTVWXYZ"), std::string::npos) << g;
    gesehen.insert(g);
  }
  EXPECT_EQ(gesehen.size(), 20u);

  // The 80 bits, the first byte's top bit first.
  uint8_t bytes[GeheimnisBytes];
  ASSERT_EQ(Geheimnis_Bytes_Lesen("000G40R40M30E209", bytes), 1);
  for (int i = 0; i < GeheimnisBytes; ++i) EXPECT_EQ(bytes[i], i);
  ASSERT_EQ(Geheimnis_Bytes_Lesen("ZZZZZZZZZZZZZZZZ", bytes), 1);
  for (uint8_t b : bytes) EXPECT_EQ(b, 0xFF);
  EXPECT_EQ(Geheimnis_Bytes_Lesen("ZZZZZZZZZZZZZZZ", bytes), 0);
  EXPECT_EQ(Geheimnis_Bytes_Lesen("ZZZZZZZZZZZZZZZU", bytes), 0);
}

TEST(Privatcode, WrittenInGroupsAndReadAsPeopleTypeIt) {
  EXPECT_EQ(Code(17, "K7F3Q9ZM4TXAPB2W"), "17-K7F3-Q9ZM-4TXA-PB2W");
  EXPECT_EQ(Code(1234567, "000G40R40M30E209"), "1234567-000G-40R4-0M30-E209");

  const std::string erwartet = "17 K7F3Q9ZM4TXAPB2W";
  EXPECT_EQ(Gelesen("17-K7F3-Q9ZM-4TXA-PB2W"), erwartet);
  EXPECT_EQ(Gelesen("17k7f3q9zm4txapb2w"), erwartet);
  EXPECT_EQ(Gelesen(" 17 - k7F3 Q9zm-4TXA  pb2w "), erwartet);
  EXPECT_EQ(Gelesen("17-o1l0-I0OO-0000-0000"), "17 0110100000000000");
  EXPECT_EQ(Gelesen("17K7F3-Q9ZM-4TXA-PB2W"), erwartet);

  for (const char* kein : {"17", "3", "0017", "12345678901234567890", "17-K7F3-Q9ZM-4TXA-PB2", "17-K7F3-Q9ZM-4TXA-PB2W7",
                           "K7F3-Q9ZM-4TXA-PB2W", "17-K7F3-Q9ZM-4TXA-PB2U", "17-K7F3-Q9ZM-4TXA-PB2W!",
                           "0-K7F3-Q9ZM-4TXA-PB2W", "1A-K7F3-Q9ZM-4TXA-PB2W", ""}) {
    EXPECT_EQ(Gelesen(kein), "-") << kein;
  }
}

}  // namespace
