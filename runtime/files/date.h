// Date values: signed 32-bit seconds since 1970-01-01 00:00:00 of local
// wall-clock time (no zone, no daylight-saving shift); -1 marks an invalid date.
#pragma once

#include <cstdint>

namespace kx {

int32_t CurrentDate();
int32_t MakeDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);

// Fields of a date value; 0 for a value that cannot be decomposed (negative).
int32_t YearOf(int32_t date);
int32_t MonthOf(int32_t date);
int32_t DayOf(int32_t date);
int32_t HourOf(int32_t date);
int32_t MinuteOf(int32_t date);
int32_t SecondOf(int32_t date);
int32_t WeekdayOf(int32_t date);  // 0 = Sunday .. 6 = Saturday

// Mask tokens (any case): %yyyy %yy %mm %dd %hh %ii %ss.  The result is built
// at the given mark of the calling thread's temporary string buffer.
char* FormatDate(const char* mask, int32_t date, int32_t mark);

}  // namespace kx
