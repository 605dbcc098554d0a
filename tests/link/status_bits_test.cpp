#include "link/status_bits.h"

#include <gtest/gtest.h>

#include <set>

namespace quarnel {
namespace {

TEST(StatusBits, EveryBitButTheLowestHasALineOfItsOwn) {
  std::set<std::string> seen;
  for (int bit = 1; bit < 16; ++bit) {
    const std::vector<std::string> lines = StatusBitLines(static_cast<uint16_t>(1u << bit));
    ASSERT_EQ(lines.size(), 1u) << bit;
    EXPECT_EQ(lines[0].substr(0, 2), "  ") << "a detail line under its heading";
    EXPECT_GT(lines[0].size(), 2u);
    EXPECT_TRUE(seen.insert(lines[0]).second) << lines[0] << " stands for two bits";
  }
  EXPECT_TRUE(StatusBitLines(0).empty());
  EXPECT_TRUE(StatusBitLines(0x0001).empty());
}

TEST(StatusBits, TransparentModeComesFirstThenTheBitsFromTheHighestDown) {
  const std::vector<std::string> all = StatusBitLines(0xFFFF);
  ASSERT_EQ(all.size(), 15u);
  EXPECT_EQ(all.front(), "  Transparent Mode set");
  EXPECT_EQ(all.back(), "  Error - missing Type 4 record");
  std::vector<std::string> expected = StatusBitLines(0x0400);
  for (int bit = 15; bit >= 1; --bit) {
    if ((1u << bit) == 0x0400) continue;
    const auto line = StatusBitLines(static_cast<uint16_t>(1u << bit));
    expected.insert(expected.end(), line.begin(), line.end());
  }
  EXPECT_EQ(all, expected);
  EXPECT_EQ(StatusBitLines(0x8400),
            (std::vector<std::string>{"  Transparent Mode set", "  pending Reset vector"}));
}

TEST(StatusBits, TheLoaderModeAnswerOfTheExample) {
  // A capture answered with status 0x4010.
  EXPECT_EQ(StatusBitLines(0x4010),
            (std::vector<std::string>{"  in loader mode", "  finished programing current record"}));
}

TEST(TargetInfo, HeadingShowsTheCharactersAsReceived) {
  const auto heading = TargetInfoHeading("!1a2B0001034010ff\r\n");
  ASSERT_EQ(heading.size(), 3u);
  EXPECT_EQ(heading[0], "Target ID:              1a2B");
  EXPECT_EQ(heading[1], "Sequence #:             0001");
  EXPECT_EQ(heading[2], "Target Status:          4010");
  for (const std::string& line : heading) EXPECT_EQ(line.size(), 28u);
  EXPECT_EQ(TargetInfoUnderline(), std::string(38, '_'));
}

TEST(TargetInfo, ShortRecordGivesEmptyValues) {
  const auto heading = TargetInfoHeading("!12");
  EXPECT_EQ(heading[0], "Target ID:              12");
  EXPECT_EQ(heading[1], "Sequence #:             ");
  EXPECT_EQ(heading[2], "Target Status:          ");
}

}  // namespace
}  // namespace quarnel
