// What --summarize makes of a unit log: counts, yield and median per image,
// slot and day; a damaged line is named and skipped, never fatal.
#include "app/cli/log_summary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace quarnel::cli {
namespace {

std::string Line(const std::string& day, const std::string& slot, int exit_status, double seconds,
                 const std::string& sha = std::string(64, 'a')) {
  return R"({"schema":"quarnel.unit/1","start_local":")" + day +
         R"(T10:00:00.000+0100","image":"/fw/unit.cry","image_sha256":")" + sha + R"(","slot":")" +
         slot + R"(","exit_status":)" + std::to_string(exit_status) + R"(,"duration_s":)" +
         std::to_string(seconds) + "}\n";
}

TEST(LogSummary, CountsYieldAndMedianPerImageSlotAndDay) {
  std::istringstream log(Line("2026-12-09", "B", 0, 10) + Line("2026-12-09", "A", 0, 12) +
                         Line("2026-12-09", "A", 5, 30) + Line("2026-12-09", "A", 0, 14) +
                         Line("2026-12-09", "A", 0, 11) + Line("2026-12-10", "A", 0, 13) +
                         Line("2026-12-09", "A", 0, 13, std::string(64, 'b')));
  const LogSummary summary = SummarizeLog(log);
  EXPECT_TRUE(summary.damaged.empty());
  ASSERT_EQ(summary.groups.size(), 4u);
  const SummaryGroup& a = summary.groups[0];
  EXPECT_EQ(a.day, "2026-12-09");
  EXPECT_EQ(a.slot, "A");
  EXPECT_EQ(a.image_sha256, std::string(64, 'a'));
  EXPECT_EQ(a.passed, 3);
  EXPECT_EQ(a.failed, 1);
  EXPECT_DOUBLE_EQ(a.YieldPercent(), 75.0);
  // Of the programmed units only: the failed one's 30 s is no unit time.
  EXPECT_EQ(a.median_unit_s, 12.0);
  EXPECT_EQ(summary.groups[1].slot, "B");
  EXPECT_EQ(summary.groups[1].median_unit_s, 10.0);
  EXPECT_EQ(summary.groups[2].image_sha256, std::string(64, 'b')) << "another image";
  EXPECT_EQ(summary.groups[3].day, "2026-12-10");

  const std::string table = FormatSummaryTable(summary);
  EXPECT_THAT(table, ::testing::StartsWith("DAY"));
  EXPECT_THAT(table, ::testing::HasSubstr("unit.cry (aaaaaaaaaaaa)"));
  EXPECT_THAT(table, ::testing::HasSubstr("75.0 %"));
  const std::string csv = FormatSummaryCsv(summary);
  EXPECT_THAT(csv, ::testing::HasSubstr("2026-12-09,/fw/unit.cry," + std::string(64, 'a') +
                                        ",A,3,1,75.0,12.000\n"));
}

TEST(LogSummary, DamagedLinesAreNamedAndSkipped) {
  std::istringstream log(Line("2026-12-09", "A", 0, 12) + "{\"start_local\":\"2026-12-09T10\n" +
                         "\n" + "not json at all\n" + R"({"slot":"A"})" + "\n" +
                         Line("2026-12-09", "A", 1, 12));
  const LogSummary summary = SummarizeLog(log);
  ASSERT_EQ(summary.damaged.size(), 3u);
  EXPECT_THAT(summary.damaged[0], ::testing::StartsWith("2: "));
  EXPECT_THAT(summary.damaged[1], ::testing::StartsWith("4: "));
  EXPECT_THAT(summary.damaged[2], ::testing::StartsWith("5: "));
  ASSERT_EQ(summary.groups.size(), 1u);
  EXPECT_EQ(summary.groups[0].passed, 1);
  EXPECT_EQ(summary.groups[0].failed, 1);
}

TEST(LogSummary, RecordsOfTheFirstVersionWithoutSlotsCountByPort) {
  std::istringstream log(
      R"({"start_local":"2026-12-09T05:12:39.979+0100","port":"/dev/ttyUSB0","exit_status":0,)"
      R"("duration_s":14.9,"image":"/d/u.cry","image_sha256":""})"
      "\n");
  const LogSummary summary = SummarizeLog(log);
  ASSERT_EQ(summary.groups.size(), 1u);
  EXPECT_EQ(summary.groups[0].slot, "/dev/ttyUSB0");
  EXPECT_THAT(FormatSummaryTable(summary), ::testing::Not(::testing::HasSubstr("()")));
}

}  // namespace
}  // namespace quarnel::cli
