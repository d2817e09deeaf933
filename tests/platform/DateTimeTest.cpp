#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kessaro {
namespace {

TEST(DateTime, DayCountsSince1899_12_30) {
  struct Case {
    TCivilDate date;
    std::int64_t days;
  };
  const Case cases[] = {{{1899, 12, 30}, 0},    {{1900, 1, 1}, 2},    {{1970, 1, 1}, 25569},
                        {{2000, 2, 29}, 36585}, {{1899, 12, 29}, -1}, {{2026, 12, 10}, 46366},
                        {{1600, 3, 1}, -109511}};
  for (const auto& c : cases) {
    EXPECT_EQ(DaysFromCivil(c.date), c.days) << c.date.year << "-" << c.date.month;
    const TCivilDate back = CivilFromDays(c.days);
    EXPECT_EQ(back.year, c.date.year);
    EXPECT_EQ(back.month, c.date.month);
    EXPECT_EQ(back.day, c.date.day);
  }
}

TEST(DateTime, TimeOfDayIsTheFraction) {
  const TDateTime v = EncodeDateTime({{2000, 1, 1}, 18, 0, 0, 0});
  EXPECT_DOUBLE_EQ(v, 36526.75);
  const TCivilDateTime t = DecodeDateTime(-1.25);  // before the epoch the fraction is absolute
  EXPECT_EQ(t.date.day, 29);
  EXPECT_EQ(t.hour, 6);
  EXPECT_EQ(FormatIsoDateTime(EncodeDateTime({{2026, 12, 10}, 9, 5, 7, 0})), "2026-12-10 09:05:07");
  EXPECT_EQ(FormatIsoDate(NAN), "1899-12-30");
  EXPECT_EQ(FormatIsoDate(1e300), "1899-12-30");
}

TEST(DateTime, Validity) {
  EXPECT_TRUE(IsValidCivilDate({2000, 2, 29}));
  EXPECT_FALSE(IsValidCivilDate({1900, 2, 29}));
  EXPECT_FALSE(IsValidCivilDate({2001, 13, 1}));
  EXPECT_FALSE(IsValidCivilDate({2001, 4, 31}));
  EXPECT_FALSE(IsValidCivilDate({2001, 4, 0}));
}

}  // namespace
}  // namespace kessaro
