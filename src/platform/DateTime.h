#pragma once
// Stored dates: a double counting days since 1899-12-30, with the time of day as fraction.

#include <chrono>
#include <cstdint>
#include <string>

namespace kessaro {

using TDateTime = double;

struct TCivilDate {
  int year = 1899;
  int month = 12;
  int day = 30;
};

struct TCivilDateTime {
  TCivilDate date;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False for a day that does not exist (month 2, day 30 and the like).
bool IsValidCivilDate(const TCivilDate& d);
// Whole days since 1899-12-30 for a valid date.
std::int64_t DaysFromCivil(const TCivilDate& d);
TCivilDate CivilFromDays(std::int64_t days);

TDateTime EncodeDateTime(const TCivilDateTime& t);
// Splits a stored value; values that are not finite or lie beyond year 9999 give 1899-12-30.
TCivilDateTime DecodeDateTime(TDateTime value);

// The current local time as a stored value.
TDateTime Now();

// "yyyy-mm-dd" and "yyyy-mm-dd hh:nn:ss".
std::string FormatIsoDate(TDateTime value);
std::string FormatIsoDateTime(TDateTime value);

}  // namespace kessaro
