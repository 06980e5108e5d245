// Date values: construction with its validity rules, decomposition and
// formatting.  The program is run a second and third time under other time
// zones (date_test.cmake): a date value is wall-clock time in every zone.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "runtime/core/strings.h"
#include "runtime/files/date.h"

namespace {

std::string Format(const char* mask, int32_t date) {
  const int32_t mark = kx::GetStringMark();
  std::string result = kx::FormatDate(mask, date, mark);
  kx::SetStringMark(mark);
  return result;
}

TEST(DateZone, RunsUnderTheZoneItWasGiven) {
  // Guards the zone runs: without it they could pass under the host's zone.
  const char* expected = std::getenv("VELMORA_EXPECT_EPOCH_HOUR");
  if (!expected) GTEST_SKIP() << "no zone requested";
  __time32_t epoch = 0;
  EXPECT_EQ(_localtime32(&epoch)->tm_hour, std::atoi(expected));
}

TEST(MakeDate, EpochDayIsCountedDirectly) {
  EXPECT_EQ(kx::MakeDate(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(kx::MakeDate(1970, 1, 1, 1, 2, 3), 3723);
  EXPECT_EQ(kx::MakeDate(1970, 1, 1, 23, 59, 59), 86399);
}

TEST(MakeDate, IsWallClockTimeInSummerAndWinter) {
  EXPECT_EQ(kx::MakeDate(1970, 1, 2, 0, 0, 0), 86400);
  EXPECT_EQ(kx::MakeDate(2009, 1, 15, 12, 0, 0), 1232020800);
  EXPECT_EQ(kx::MakeDate(2009, 7, 1, 12, 0, 0), 1246449600);
  EXPECT_EQ(kx::MakeDate(2000, 2, 29, 23, 59, 59), 951868799);
}

TEST(MakeDate, RangeOfTheThirtyTwoBitValue) {
  // The whole range in every zone, the ends included.
  EXPECT_EQ(kx::MakeDate(2038, 1, 19, 3, 14, 7), 2147483647);
  EXPECT_EQ(kx::MakeDate(2038, 1, 19, 3, 14, 8), -1);
  EXPECT_EQ(kx::MakeDate(2040, 1, 1, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(1969, 12, 31, 23, 59, 59), -1);
}

TEST(MakeDate, LeapDays) {
  EXPECT_EQ(kx::MakeDate(2009, 2, 29, 0, 0, 0), -1);
  EXPECT_NE(kx::MakeDate(2008, 2, 29, 0, 0, 0), -1);
  EXPECT_NE(kx::MakeDate(2000, 2, 29, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2100, 2, 29, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2008, 2, 30, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2008, 2, 28, 0, 0, 0) + 86400, kx::MakeDate(2008, 2, 29, 0, 0, 0));
}

TEST(MakeDate, InvalidFields) {
  EXPECT_EQ(kx::MakeDate(2010, 4, 31, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 6, 31, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 9, 31, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 11, 31, 0, 0, 0), -1);
  EXPECT_NE(kx::MakeDate(2010, 12, 31, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 5, 5, 0, 0, 60), -1);
  EXPECT_EQ(kx::MakeDate(2010, 5, 5, 0, 60, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 5, 5, 24, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 5, 5, -1, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 5, 0, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 5, 32, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 0, 5, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(2010, 13, 5, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(0, 5, 5, 0, 0, 0), -1);
  EXPECT_EQ(kx::MakeDate(-2010, 5, 5, 0, 0, 0), -1);
}

TEST(DateFields, DecomposeAndRebuild) {
  const int32_t date = kx::MakeDate(2026, 12, 8, 7, 55, 1);
  EXPECT_EQ(date, 1796716501);
  EXPECT_EQ(kx::YearOf(date), 2026);
  EXPECT_EQ(kx::MonthOf(date), 12);
  EXPECT_EQ(kx::DayOf(date), 8);
  EXPECT_EQ(kx::HourOf(date), 7);
  EXPECT_EQ(kx::MinuteOf(date), 55);
  EXPECT_EQ(kx::SecondOf(date), 1);
  EXPECT_EQ(kx::WeekdayOf(date), 2);  // a Tuesday
  EXPECT_EQ(kx::WeekdayOf(0), 4);     // 1970-01-01 was a Thursday
  for (int32_t value : {0, 59, 86399, 951782400, 1246449600, 2147483647}) {
    EXPECT_EQ(kx::MakeDate(kx::YearOf(value), kx::MonthOf(value), kx::DayOf(value), kx::HourOf(value),
                           kx::MinuteOf(value), kx::SecondOf(value)),
              value);
  }
}

TEST(DateFields, NegativeValuesGiveZero) {
  EXPECT_EQ(kx::YearOf(-1), 0);
  EXPECT_EQ(kx::MonthOf(-1), 0);
  EXPECT_EQ(kx::DayOf(-5), 0);
  EXPECT_EQ(kx::HourOf(-1), 0);
  EXPECT_EQ(kx::MinuteOf(-1), 0);
  EXPECT_EQ(kx::SecondOf(-1), 0);
  EXPECT_EQ(kx::WeekdayOf(-1), 0);
}

TEST(CurrentDate, IsTheLocalTimeNow) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  const int32_t now = kx::CurrentDate();
  SYSTEMTIME after;
  GetLocalTime(&after);
  const int32_t low = kx::MakeDate(before.wYear, before.wMonth, before.wDay, before.wHour, before.wMinute,
                                   before.wSecond);
  const int32_t high =
      kx::MakeDate(after.wYear, after.wMonth, after.wDay, after.wHour, after.wMinute, after.wSecond);
  EXPECT_GE(now, low);
  EXPECT_LE(now, high);
}

TEST(FormatDate, Tokens) {
  const int32_t date = kx::MakeDate(2009, 7, 1, 8, 5, 9);
  EXPECT_EQ(Format("%yyyy-%mm-%dd", date), "2009-07-01");
  EXPECT_EQ(Format("%YYYY-%MM-%DD", date), "2009-07-01");
  EXPECT_EQ(Format("%hh:%ii:%ss", date), "08:05:09");
  EXPECT_EQ(Format("%dd.%mm.%yy", date), "01.07.09");
  EXPECT_EQ(Format("%x %", date), "%x %");
  EXPECT_EQ(Format("100%% %yyyyy", date), "100%% 2009y");
  EXPECT_EQ(Format("", date), "");
  EXPECT_EQ(Format(nullptr, date), "");
  EXPECT_EQ(Format("%yyyy/%yy/%mm", -1), "0000/00/00");
}

TEST(FormatDate, LongMaskAndMaskInTheStringBuffer) {
  // A mask that is itself a temporary string, and a result that outgrows
  // the first 4096 bytes of room.
  const int32_t mark = kx::GetStringMark();
  std::string expected;
  for (int i = 0; i < 1500; ++i) {
    kx::AppendString("%dd.");
    expected += "01.";
  }
  const char* mask = kx::GetStringBufferBase() + mark;
  kx::EndStringPiece();
  const int32_t resultMark = kx::GetStringMark();
  std::string result = kx::FormatDate(mask, kx::MakeDate(2009, 7, 1, 0, 0, 0), resultMark);
  kx::SetStringMark(mark);
  EXPECT_EQ(result, expected);
}

}  // namespace
