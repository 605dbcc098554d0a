#include "link/response_record.h"

#include <gtest/gtest.h>

#include <string>

namespace quarnel {
namespace {

TEST(ResponseRecord, SplitsTheFieldsAsReceived) {
  const std::string record = "!1a2B0001030000FC\r\n";
  auto fields = SplitResponse(record);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->target_id, "1a2B");
  EXPECT_EQ(fields->sequence, "0001");
  EXPECT_EQ(fields->code, "03");
  EXPECT_EQ(fields->status, "0000");
  EXPECT_EQ(fields->checksum, "FC");
  EXPECT_FALSE(SplitResponse("!0000000103000"));
  EXPECT_FALSE(SplitResponse(""));
}

TEST(ResponseRecord, ChecksOfTheDocumentedExample) {
  EXPECT_EQ(CheckResponse("!00000001030000FC", 1), ResponseVerdict::Accepted);
  EXPECT_EQ(CheckResponse("!00000001030000FC\r\n", 1), ResponseVerdict::Accepted);
  EXPECT_EQ(CheckResponse("!00000001030000FC", 2), ResponseVerdict::WrongSequence);
  EXPECT_EQ(CheckResponse("!00000001030000FD", 1), ResponseVerdict::BadChecksum);
  EXPECT_EQ(CheckResponse("!00000001030000F", 1), ResponseVerdict::TooShort);
}

TEST(ResponseRecord, ChecksAreMadeInOrder) {
  // Short beats everything; a bad checksum is reported before the sequence.
  EXPECT_EQ(CheckResponse("!", 0), ResponseVerdict::TooShort);
  EXPECT_EQ(CheckResponse("!00000002030000FC", 1), ResponseVerdict::BadChecksum);
}

TEST(ResponseRecord, ChecksumReadsLowerCaseAndOddCharacters) {
  // 1a+2b+00+01+03+40+10 = 0x99, checksum 0x67.
  EXPECT_EQ(CheckResponse("!1a2b000103401067", 1), ResponseVerdict::Accepted);
  EXPECT_EQ(CheckResponse("!1A2B000103401067", 1), ResponseVerdict::Accepted);
  // 'G' reads as 16: "0G" is 16, so the checksum byte must make up for it.
  EXPECT_EQ(CheckResponse("!0G000001030000EC", 1), ResponseVerdict::Accepted);
  // Blanks give negative digits; the sum is negative but still tested.
  EXPECT_EQ(CheckResponse("!" + std::string(16, ' '), 0), ResponseVerdict::BadChecksum);
}

TEST(ResponseRecord, SequenceComparedInFull) {
  // Sequence 0xFFFE, code 06, status 0: FF+FE+06 = 0x203, checksum FD.
  EXPECT_EQ(CheckResponse("!0000FFFE060000FD", 0xFFFE), ResponseVerdict::Accepted);
  EXPECT_EQ(CheckResponse("!0000fffe060000fd", 0xFFFE), ResponseVerdict::Accepted);
  EXPECT_EQ(CheckResponse("!0000FFFE060000FD", 0xFFFF), ResponseVerdict::WrongSequence);
}

TEST(ResponseRecord, CodeTable) {
  EXPECT_EQ(ResponseCodeText(1), "Device in Transparent Mode");
  EXPECT_EQ(ResponseCodeText(2), "Device program space invalidated");
  EXPECT_EQ(ResponseCodeText(3), "Device in Loader Mode");
  EXPECT_EQ(ResponseCodeText(6), "Device Erased");
  EXPECT_EQ(ResponseCodeText(7), "PGM Memory Only Erased");
  EXPECT_EQ(ResponseCodeText(8), "EEPROM Erased");
  EXPECT_EQ(ResponseCodeText(9), "Device Reset");
  for (int code : {0, 4, 5, 10, 0xFF, -1}) EXPECT_TRUE(ResponseCodeText(code).empty()) << code;
  for (int code : {1, 3, 4, 6, 7, 8, 9}) EXPECT_TRUE(ResponseCodeStopsTimer(code)) << code;
  for (int code : {0, 2, 5, 10, 0xFF, -1}) EXPECT_FALSE(ResponseCodeStopsTimer(code)) << code;
}

TEST(ResponseRecord, FailureMessages) {
  EXPECT_EQ(InvalidRecordMessage("abc\r\n"), "Invalid Record Received ->abc\r\n");
  EXPECT_EQ(TooShortMessage("!0001"), "Response record too short --> !0001");
  EXPECT_EQ(ChecksumErrorMessage(""), "Response Record Checksum Error --> ");
  EXPECT_EQ(IncorrectSequenceMessage("000A", 11), "Incorrect sequence: 000A, expected: 11");
}

}  // namespace
}  // namespace quarnel
