#include "records/DateReader.h"

#include <gtest/gtest.h>

namespace kessaro {
namespace {

double Day(int y, int m, int d) {
  return static_cast<double>(DaysFromCivil({y, m, d}));
}

TEST(DateReader, NormalisedTextsAndDates) {
  struct Case {
    const char* text;
    const char* normalised;
    double date;
  };
  const Case cases[] = {
      {"1995", "1995.01.01", Day(1995, 1, 1)},
      {"  1995 ", "1995.01.01", Day(1995, 1, 1)},
      {"1995-03-04,05", "1995.03.05", Day(1995, 3, 5)},
      {"1995-03-04 x5", "1995.03.5", Day(1995, 3, 5)},  // the last two without a non-digit
      {"4th March 1995", "4.3.1995", Day(1995, 3, 4)},
      {"March 1995", "01.3.1995", Day(1995, 3, 1)},
      {"1st of june 1987", "1.6.1987", Day(1987, 6, 1)},
      {"22nd Dec 1968", "22.12.1968", Day(1968, 12, 22)},
      {"12 03 1995", "1995.12.03", Day(1995, 12, 3)},
      {"25/12/1995", "1995.12.25", Day(1995, 12, 25)},
      {"1995.3.4", "1995.3.4", Day(1995, 3, 4)},
      {"1995-3-4", "1995.3.4", Day(1995, 3, 4)},
      {"123 4 5678", "1900.01.01", 2},  // a three-character first number gives nothing
      {"Oct 1705", "01.10.1705", Day(1705, 10, 1)},
      {"4 March 2005", "4.3.2005", Day(2005, 3, 4)},
      {"1995-03-04 to 1995-03-06 game", "1995.03.e", 0},  // an ISO-like start is taken as is
      {"Tournament, round 2, 1990-1991", "01.01.1991", Day(1991, 1, 1)},  // after the last "-"
      {"unknown", "1900.01.01", 2},
      {"?", "1900.01.01", 2},
      {"", "1900.01.01", 2},
      {"abcd", "1900.01.01", 2},
      {"31 02 1995", "1995.02.31", 0},  // no such day
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormaliseDate(c.text), c.normalised) << c.text;
    EXPECT_EQ(DateFromText(c.text), c.date) << c.text;
  }
}

TEST(DateReader, TwoDigitYearsAndLongNumbers) {
  EXPECT_EQ(NormaliseDate("4th March 95"), "95.3.1900");  // a short number is a day
  EXPECT_EQ(DateFromText("4th March 95"), 0);
  EXPECT_EQ(NormaliseDate("05 06 95"), "95.05.06");
  EXPECT_EQ(DateFromText("05 06 95"), Day(1995, 5, 6));
  EXPECT_EQ(NormaliseDate("05 06 2010"), "2010.05.06");
  EXPECT_EQ(DateFromText("1995-03-04,123456"), 0);
}

}  // namespace
}  // namespace kessaro
