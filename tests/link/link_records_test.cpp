#include <gtest/gtest.h>

#include <array>
#include <numeric>

#include "link/records.h"
#include "ui/fake_link_port.h"

namespace quarnel {
namespace {

using testing::FakeLinkPort;

class LinkRecords : public ::testing::Test {
 protected:
  LinkState link;
  FakeLinkPort port;
};

TEST(HexConversion, ByteToHexIsTwoUpperCaseDigits) {
  EXPECT_EQ(ByteToHex(0), "00");
  EXPECT_EQ(ByteToHex(10), "0A");
  EXPECT_EQ(ByteToHex(0xAB), "AB");
  EXPECT_EQ(ByteToHex(255), "FF");
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(HexToInt(ByteToHex(static_cast<uint8_t>(v))), v);
  }
}

TEST(HexConversion, HexToIntReadsWithoutValidating) {
  EXPECT_EQ(HexToInt(""), 0);
  EXPECT_EQ(HexToInt("FFFE"), 0xFFFE);
  EXPECT_EQ(HexToInt("fffe"), 0xFFFE);
  EXPECT_EQ(HexToInt("aB"), 0xAB);
  // No hex digit: 'G' counts 16, a blank 32 - 48 = -16.
  EXPECT_EQ(HexToInt("1G"), 32);
  EXPECT_EQ(HexToInt(" 0"), -16 * 16);
  EXPECT_EQ(HexToInt(std::string("\0\0", 2)), -48 * 16 - 48);
  // Bytes above 127 are characters too, not negative values.
  EXPECT_EQ(HexToInt("\xFF"), 0xFF - 'A' + 10);
}

TEST(HexConversion, HexToIntOfLongTextWrapsInsteadOfOverflowing) {
  EXPECT_EQ(HexToInt("100000000"), 0);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt(std::string(100000, 'z')), HexToInt(std::string(100000, 'Z')));
}

TEST_F(LinkRecords, AddRecordByteAndChecksum) {
  AddRecordByte(link, 0x12);
  AddRecordByte(link, 0x300);  // only the low byte is written, the whole value summed
  EXPECT_EQ(std::string(link.RecordBuffer, 4), "1200");
  EXPECT_EQ(link.RecordLength, 4);
  EXPECT_EQ(link.RecordSum, 0x312);
  AddRecordChecksum(link);
  EXPECT_EQ(std::string(link.RecordBuffer, 6), "1200EE");
  EXPECT_EQ(link.RecordSum, 0x312);  // the checksum is not summed
}

TEST_F(LinkRecords, CommandRecordExamples) {
  SendCommand(link, 3, port);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], ":00010103FB\r\n");
  link.SequenceNumber = 0x0101;
  SendCommand(link, 9, port);
  EXPECT_EQ(port.writes[1], ":01020109F3\r\n");
  link.SequenceNumber = 0xFFFD;
  SendCommand(link, 6, port);
  EXPECT_EQ(port.writes[2], ":FFFE0106FC\r\n");
  for (const std::string& record : port.writes) EXPECT_EQ(record.size(), 13u);
}

TEST_F(LinkRecords, SequenceSkipsFFFF) {
  link.SequenceNumber = 0xFFFE;
  SendCommand(link, 3, port);
  EXPECT_EQ(link.SequenceNumber, 0);
  EXPECT_EQ(port.writes[0].substr(0, 5), ":0000");
  SendCommand(link, 3, port);
  EXPECT_EQ(link.SequenceNumber, 1);
}

TEST_F(LinkRecords, DataRecordExamples) {
  std::array<uint8_t, BlockSize> zeros{};
  SendDataRecord(link, zeros, port);
  EXPECT_EQ(port.writes[0], "*0001" + std::string(48, '0') + "FF\r\n");

  std::array<uint8_t, BlockSize> counting{};
  std::iota(counting.begin(), counting.end(), uint8_t{0});
  link.SequenceNumber = 0x1233;
  SendDataRecord(link, counting, port);
  EXPECT_EQ(port.writes[1], "*1234000102030405060708090A0B0C0D0E0F1011121314151617A6\r\n");
  EXPECT_EQ(port.writes[1].size(), 57u);
}

TEST_F(LinkRecords, LastRecordKeepsTheRecordSentLast) {
  std::array<uint8_t, BlockSize> block{};
  block.fill(0xFF);
  SendDataRecord(link, block, port);
  EXPECT_EQ(std::string(link.LastRecord), port.writes.back());
  EXPECT_EQ(link.LastRecordLength, 57);
  SendCommand(link, 7, port);  // a command replaces the data record
  EXPECT_EQ(std::string(link.LastRecord), port.writes.back());
  EXPECT_EQ(link.LastRecordLength, 13);
}

TEST_F(LinkRecords, ResendRepeatsTheLastRecordUnchanged) {
  std::array<uint8_t, BlockSize> block{};
  block[0] = 0x5A;
  SendDataRecord(link, block, port);
  ResendLastRecord(link, port);
  ResendLastRecord(link, port);
  ASSERT_EQ(port.writes.size(), 3u);
  EXPECT_EQ(port.writes[1], port.writes[0]);
  EXPECT_EQ(port.writes[2], port.writes[0]);
  EXPECT_EQ(link.SequenceNumber, 1);
}

TEST_F(LinkRecords, RefusedWriteStillNumbersAndKeepsTheRecord) {
  port.open = false;
  SendCommand(link, 3, port);
  SendCommand(link, 3, port);
  EXPECT_EQ(link.SequenceNumber, 2);
  EXPECT_EQ(std::string(link.LastRecord), ":00020103FA\r\n");
}

TEST_F(LinkRecords, EveryRecordSumsToAMultipleOf256) {
  std::array<uint8_t, BlockSize> block{};
  for (int round = 0; round < 300; ++round) {
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(round * 7 + i * 13);
    SendDataRecord(link, block, port);
    SendCommand(link, 3 + round % 7, port);
  }
  for (const std::string& record : port.writes) {
    int sum = 0;
    for (size_t i = 1; i + 2 < record.size(); i += 2) sum += HexToInt(record.substr(i, 2));
    EXPECT_EQ(sum % 256, 0) << record;
  }
}

}  // namespace
}  // namespace quarnel
