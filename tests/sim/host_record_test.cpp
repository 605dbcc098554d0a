// How the target cuts the byte stream into records and checks each one.
#include "host_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "response_record.h"

namespace targetsim {
namespace {

std::vector<std::string> Frame(const std::string& stream) {
  RecordFramer framer;
  std::vector<std::string> lines;
  for (const char c : stream) {
    if (auto line = framer.Feed(c)) lines.push_back(*line);
  }
  return lines;
}

TEST(RecordFramer, FindsRecordsAmongNoise) {
  EXPECT_EQ(Frame("junk\r\n:00010103FB\r\n\x01\xFF*0001\r\n"),
            (std::vector<std::string>{":00010103FB\r", "*0001\r"}));
  // A start character restarts a record cut short by lost bytes.
  EXPECT_EQ(Frame(":0001*00:00020103FA\r\n"), (std::vector<std::string>{":00020103FA\r"}));
  // An overlong line is cut, so it cannot grow without bound.
  const auto lines = Frame("*" + std::string(1000, 'A') + "\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), RecordFramer::kMaxLine);
}

TEST(ParseHostRecord, DecodesTheDocumentedExamples) {
  auto capture = ParseHostRecord(":00010103FB\r");
  ASSERT_TRUE(capture);
  EXPECT_EQ(capture->kind, RecordKind::kCommand);
  EXPECT_EQ(capture->sequence, 1);
  EXPECT_EQ(capture->error, 0);
  EXPECT_EQ(capture->command, 3);
  EXPECT_EQ(capture->text, ":00010103FB");

  auto reset = ParseHostRecord(":01020109F3\r");
  ASSERT_TRUE(reset);
  EXPECT_EQ(reset->sequence, 0x0102);
  EXPECT_EQ(reset->command, 9);
  auto erase = ParseHostRecord(":FFFE0106FC\r");
  ASSERT_TRUE(erase);
  EXPECT_EQ(erase->sequence, 0xFFFE);
  EXPECT_EQ(erase->command, 6);

  auto data = ParseHostRecord("*1234000102030405060708090A0B0C0D0E0F1011121314151617A6\r");
  ASSERT_TRUE(data);
  EXPECT_EQ(data->kind, RecordKind::kData);
  EXPECT_EQ(data->sequence, 0x1234);
  EXPECT_EQ(data->error, 0);
  ASSERT_EQ(data->block.size(), kBlockSize);
  for (size_t i = 0; i < kBlockSize; ++i) EXPECT_EQ(data->block[i], i);

  auto zeros = ParseHostRecord("*0001" + std::string(48, '0') + "FF\r");
  ASSERT_TRUE(zeros);
  EXPECT_EQ(zeros->error, 0);
}

TEST(ParseHostRecord, ReportsEachKindOfBrokenRecord) {
  struct Case {
    std::string line;
    uint16_t sequence;
    uint16_t error;
  };
  const Case cases[] = {
      {":00010103FC\r", 1, kStatusChecksum},
      {"*0001" + std::string(48, '0') + "FE\r", 1, kStatusChecksum},
      {"*0002" + std::string(46, '0') + "FE\r", 2, kStatusFrameLength},
      {":0003010300FA\r", 3, kStatusFrameLength},
      {":00040103F8", 4, kStatusFraming},              // no CR before the LF
      {":0005010X03\r", 5, kStatusFraming},            // not hex
      {":00060105F4\r", 6, kStatusUnsupportedRecord},  // unknown command
      {":00070203F4\r", 7, kStatusUnsupportedRecord},  // unknown record type
  };
  for (const auto& c : cases) {
    const auto record = ParseHostRecord(c.line);
    ASSERT_TRUE(record) << c.line;
    EXPECT_EQ(record->sequence, c.sequence) << c.line;
    EXPECT_EQ(record->error, c.error) << c.line;
  }
  // Nothing to echo without a sequence number.
  EXPECT_FALSE(ParseHostRecord(":00\r"));
  EXPECT_FALSE(ParseHostRecord(":00G10103FB\r"));
  EXPECT_FALSE(ParseHostRecord("!1A2B000103400077\r"));
  // The target reads lower-case hex too.
  const auto lower = ParseHostRecord(":fffe0106fc\r");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->error, 0);
}

TEST(BuildResponseRecord, MatchesTheDocumentedFormat) {
  EXPECT_EQ(BuildResponseRecord({0x0000, 0x0001, 3, 0x0000}, false), "!00000001030000FC\r\n");
  EXPECT_EQ(BuildResponseRecord({0x1A2B, 0x0001, 3, 0x4010}, false), "!1A2B000103401067\r\n");
  EXPECT_EQ(BuildResponseRecord({0xABCD, 0xFFFE, 4, 0xBEEF}, true), "!abcdfffe04beefda\r\n");
  EXPECT_EQ(BuildResponseRecord({0x1A2B, 0x0001, 3, 0x4000}, false, 1), "!1A2B000103400078\r\n");
}

}  // namespace
}  // namespace targetsim
