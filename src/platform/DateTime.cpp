#include "platform/DateTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace kessaro {
namespace {

// Day number of 1899-12-30 in the proleptic Gregorian count used by DaysFromCivilRaw.
constexpr std::int64_t kEpochDays = -25569;  // days from 1970-01-01 back to 1899-12-30

// Howard Hinnant's days_from_civil: days since 1970-01-01.
std::int64_t DaysFromCivilRaw(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

bool IsValidCivilDate(const TCivilDate& d) {
  if (d.month < 1 || d.month > 12 || d.day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int last = d.month == 2 && leap ? 29 : kDays[d.month - 1];
  return d.day <= last;
}

std::int64_t DaysFromCivil(const TCivilDate& d) {
  return DaysFromCivilRaw(d.year, static_cast<unsigned>(d.month), static_cast<unsigned>(d.day)) -
         kEpochDays;
}

TCivilDate CivilFromDays(std::int64_t days) {
  std::int64_t z = days + kEpochDays + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

TDateTime EncodeDateTime(const TCivilDateTime& t) {
  const double days = static_cast<double>(DaysFromCivil(t.date));
  const double fraction =
      (((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond) / 86400000.0;
  // Before the epoch the fraction still counts forward from midnight (the stored convention).
  return days >= 0 ? days + fraction : days - fraction;
}

TCivilDateTime DecodeDateTime(TDateTime value) {
  TCivilDateTime t;
  if (!std::isfinite(value) || std::fabs(value) > 2958465.0) return t;  // beyond 9999-12-31
  const double whole = std::trunc(value);
  t.date = CivilFromDays(static_cast<std::int64_t>(whole));
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

TDateTime Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&secs, &local);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  return EncodeDateTime({{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<int>(ms.count())});
}

std::string FormatIsoDate(TDateTime value) {
  const TCivilDateTime t = DecodeDateTime(value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.date.year, t.date.month, t.date.day);
  return buf;
}

std::string FormatIsoDateTime(TDateTime value) {
  const TCivilDateTime t = DecodeDateTime(value);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.date.year, t.date.month,
                t.date.day, t.hour, t.minute, t.second);
  return buf;
}

}  // namespace kessaro
