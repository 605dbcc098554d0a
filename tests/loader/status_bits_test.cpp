#include "link/status_bits.h"

#include <gtest/gtest.h>

namespace quarnel {
namespace {

TEST(StatusBits, EachBitHasItsLineInTableOrder) {
  const std::vector<std::string> all = StatusBitLines(0xFFFF);
  ASSERT_EQ(all.size(), 15u);
  EXPECT_EQ(all.front(), "  Transparent Mode set");
  EXPECT_EQ(all[2], "  in loader mode");
  EXPECT_EQ(all.back(), "  Error - missing Type 4 record");
  for (const std::string& line : all) EXPECT_EQ(line.substr(0, 2), "  ");

  const std::pair<uint16_t, const char*> expected[] = {
      {0x0400, "  Transparent Mode set"},
      {0x8000, "  pending Reset vector"},
      {0x4000, "  in loader mode"},
      {0x2000, "  user code space invalid"},
      {0x1000, "  LDR command while not in LDR_Mode"},
      {0x0800, "  record frame length error"},
      {0x0200, "  record framing error"},
      {0x0100, "  unsupported record type"},
      {0x0080, "  ID and configuration record skipped"},
      {0x0040, "  record checksum error"},
      {0x0020, "  error - attempt to overwrite loader"},
      {0x0010, "  finished programing current record"},
      {0x0008, "  finished programing file"},
      {0x0004, "  EEPROM updated"},
      {0x0002, "  Error - missing Type 4 record"},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(all[i], expected[i].second);
    EXPECT_EQ(StatusBitLines(expected[i].first), std::vector<std::string>{expected[i].second});
  }
}

TEST(StatusBits, BitOneAndZeroHaveNoLine) {
  EXPECT_TRUE(StatusBitLines(0).empty());
  EXPECT_TRUE(StatusBitLines(0x0001).empty());
}

TEST(StatusBits, TransparentModeIsListedBeforeTheHighBits) {
  EXPECT_EQ(StatusBitLines(0x8400),
            (std::vector<std::string>{"  Transparent Mode set", "  pending Reset vector"}));
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
