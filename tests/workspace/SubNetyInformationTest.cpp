#include "workspace/SubNetyInformation.h"

#include <gtest/gtest.h>

namespace kessaro {
namespace {

TEST(SubNetyInformationTest, LinesAndUnknownFigures) {
  TSubNetSummary s;
  s.NetName = std::string("Joseki\0junk", 11);
  s.OriginalVariations = 1200;
  s.TotalVariations = 4;
  s.TotalGames = 2;
  s.TotalMoves = 10;
  TInfoLines lines = SubNetInformationLines(s);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"Name", "Joseki"}));
  EXPECT_EQ(lines[1], (std::pair<std::string, std::string>{}));
  EXPECT_EQ(lines[2].second, "1200");
  EXPECT_EQ(lines[5],
            (std::pair<std::string, std::string>{"Average variation length", "2.500000"}));
  EXPECT_EQ(lines[7].second, "10");
  // Games but no variations: no division by zero, the average is unknown.
  s.TotalVariations = 0;
  lines = SubNetInformationLines(s);
  EXPECT_EQ(lines[5].second, "Unknown");
  EXPECT_EQ(lines[6].second, "Unknown");
  EXPECT_EQ(lines[7].second, "10");
  s.TotalGames = 0;
  EXPECT_EQ(SubNetInformationLines(s)[7].second, "Unknown");
}

}  // namespace
}  // namespace kessaro
