#include "runtime/files/date.h"

#include <windows.h>

#include <cstring>
#include <ctime>

#include "runtime/core/strings.h"

namespace kx {
namespace {

// The runtime's 32-bit time functions fix the range of a date value
// (1970-01-01 00:00:00 to 2038-01-19 03:14:07).
bool BreakDown(int32_t date, struct tm* out) {
  if (date < 0) return false;
  __time32_t value = date;
  struct tm* fields = _gmtime32(&value);
  if (!fields) return false;
  *out = *fields;
  return true;
}

bool IsLeapYear(uint32_t year) {
  if (year == 3600) return false;
  if (year % 4 != 0) return false;
  if (year % 100 == 0 && year % 400 != 0) return false;
  return true;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

int32_t MakeDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second) {
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return -1;
  if (month == 2) {
    if (day > 29) return -1;
    if (day == 29 && !IsLeapYear(static_cast<uint32_t>(year))) return -1;
  }
  // Unsigned comparisons: negative values fail as well.
  if (static_cast<uint32_t>(second) > 59 || static_cast<uint32_t>(minute) > 59 ||
      static_cast<uint32_t>(hour) > 23 || static_cast<uint32_t>(day - 1) > 30 ||
      static_cast<uint32_t>(month - 1) > 11 || year <= 0) {
    return -1;
  }
  if (year == 1970 && month == 1 && day == 1) return hour * 3600 + minute * 60 + second;

  // The value is the wall-clock reading counted as if it were UTC, so it is
  // computed from the fields directly.  (Going through mktime and the zone
  // offset of the epoch gives the same value but loses the last hours of the
  // 32-bit range in zones west of UTC, where mktime's UTC result overflows.)
  const int64_t value = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  if (value < 0 || value > INT32_MAX) return -1;
  return static_cast<int32_t>(value);
}

int32_t CurrentDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return MakeDate(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

namespace {

// One field of the date's calendar reading (plus offset), 0 for a date that
// cannot be read.
int32_t FieldOf(int32_t date, int tm::*field, int32_t offset = 0) {
  struct tm fields = {};
  return BreakDown(date, &fields) ? fields.*field + offset : 0;
}

}  // namespace

int32_t YearOf(int32_t date) { return FieldOf(date, &tm::tm_year, 1900); }
int32_t MonthOf(int32_t date) { return FieldOf(date, &tm::tm_mon, 1); }
int32_t DayOf(int32_t date) { return FieldOf(date, &tm::tm_mday); }
int32_t HourOf(int32_t date) { return FieldOf(date, &tm::tm_hour); }
int32_t MinuteOf(int32_t date) { return FieldOf(date, &tm::tm_min); }
int32_t SecondOf(int32_t date) { return FieldOf(date, &tm::tm_sec); }
int32_t WeekdayOf(int32_t date) { return FieldOf(date, &tm::tm_wday); }

char* FormatDate(const char* mask, int32_t date, int32_t mark) {
  // The mask may lie in the temporary string buffer, which moves as the
  // result grows: work from a private copy.
  const char* source = mask ? mask : "";
  const size_t maskLength = strlen(source);
  HANDLE heap = GetProcessHeap();
  char* copy = static_cast<char*>(HeapAlloc(heap, 0, maskLength + 1));
  if (!copy) return ReturnString("", 0, mark);
  memcpy(copy, source, maskLength + 1);

  struct tm fields = {};
  const bool valid = BreakDown(date, &fields);
  char year[8];
  if (valid) {
    wsprintfA(year, "%04d", fields.tm_year + 1900);
  } else {
    strcpy(year, "0000");
  }
  auto twoDigits = [&](int value, char* out) {
    out[0] = static_cast<char>('0' + (value / 10) % 10);
    out[1] = static_cast<char>('0' + value % 10);
  };

  int32_t room = 4096;
  char* result = ReserveStringRoom(room, mark);
  int32_t length = 0;
  if (!result) {
    HeapFree(heap, 0, copy);
    return ReturnString("", 0, mark);
  }
  const char* p = copy;
  while (*p) {
    if (room - length < 5) {
      room += 4096;
      result = ReserveStringRoom(room, mark);
      if (!result) {
        HeapFree(heap, 0, copy);
        return ReturnString("", 0, mark);
      }
    }
    char* out = result + length;
    if (*p == '%') {
      const char* token = p + 1;
      if (_strnicmp(token, "yyyy", 4) == 0) {
        memcpy(out, year, 4);
        length += 4;
        p += 5;
        continue;
      }
      int value = -1;
      if (_strnicmp(token, "yy", 2) == 0) {
        out[0] = year[2];
        out[1] = year[3];
        length += 2;
        p += 3;
        continue;
      }
      if (_strnicmp(token, "mm", 2) == 0) {
        value = valid ? fields.tm_mon + 1 : 0;
      } else if (_strnicmp(token, "dd", 2) == 0) {
        value = valid ? fields.tm_mday : 0;
      } else if (_strnicmp(token, "hh", 2) == 0) {
        value = valid ? fields.tm_hour : 0;
      } else if (_strnicmp(token, "ii", 2) == 0) {
        value = valid ? fields.tm_min : 0;
      } else if (_strnicmp(token, "ss", 2) == 0) {
        value = valid ? fields.tm_sec : 0;
      }
      if (value >= 0) {
        twoDigits(value, out);
        length += 2;
        p += 3;
        continue;
      }
    }
    *out = *p++;
    ++length;
  }
  result[length] = 0;
  ReturnStringRoom(room - length);
  HeapFree(heap, 0, copy);
  return result;
}

}  // namespace kx
