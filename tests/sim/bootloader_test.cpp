// The bootloader's state machine and the image it keeps, without a port.
#include "bootloader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

namespace targetsim {
namespace {

HostRecord Command(uint16_t sequence, uint8_t code) {
  HostRecord record;
  record.kind = RecordKind::kCommand;
  record.sequence = sequence;
  record.command = code;
  record.text = ":cmd" + std::to_string(sequence);
  return record;
}

HostRecord Data(uint16_t sequence, uint8_t fill) {
  HostRecord record;
  record.kind = RecordKind::kData;
  record.sequence = sequence;
  record.block.assign(kBlockSize, fill);
  record.text = "*" + std::to_string(sequence) + "/" + std::to_string(fill);
  return record;
}

TEST(Bootloader, SilentUntilPoweredThenCapturedErasedProgrammedReset) {
  Bootloader target({.erase_ms = 1500, .program_ms = 8}, false);
  EXPECT_FALSE(target.Handle(Command(1, kCommandCapture)));
  target.PowerOn();

  auto reply = target.Handle(Command(2, kCommandCapture));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 3);
  EXPECT_EQ(reply->status, 0x4000);
  EXPECT_EQ(reply->busy_ms, 0u);

  for (const uint8_t erase : {kCommandEraseAll, kCommandEraseData, kCommandEraseProgram}) {
    reply = target.Handle(Command(3, erase));
    EXPECT_EQ(reply->code, erase);
    EXPECT_EQ(reply->status, 0x4000);
    EXPECT_EQ(reply->busy_ms, 1500u);
  }

  reply = target.Handle(Data(1, 0xA1));
  EXPECT_EQ(reply->code, 4);
  EXPECT_EQ(reply->status, 0x4010);
  EXPECT_EQ(reply->busy_ms, 8u);
  EXPECT_EQ(reply->block_number, 1u);
  reply = target.Handle(Data(2, 0xB2));
  EXPECT_EQ(reply->block_number, 2u);

  reply = target.Handle(Command(3, kCommandReset));
  EXPECT_EQ(reply->code, 9);
  EXPECT_EQ(reply->status, 0);
  EXPECT_TRUE(reply->reset);
  EXPECT_FALSE(target.in_loader_mode());
  EXPECT_EQ(target.image().block_count(), 2u);
}

TEST(Bootloader, RefusesWorkOutsideLoaderModeWithoutClaimingSuccess) {
  Bootloader target({}, true);
  for (const uint8_t command :
       {kCommandEraseAll, kCommandEraseProgram, kCommandEraseData, kCommandReset}) {
    const auto reply = target.Handle(Command(1, command));
    EXPECT_EQ(reply->code, 0) << int(command);
    EXPECT_EQ(reply->status, 0x1000) << int(command);
  }
  const auto reply = target.Handle(Data(1, 0));
  EXPECT_EQ(reply->code, 4);
  EXPECT_EQ(reply->status, 0x1000);
  EXPECT_EQ(target.image().block_count(), 0u);
}

TEST(Bootloader, BrokenRecordsCarryTheirErrorBits) {
  Bootloader target({}, true);
  target.Handle(Command(1, kCommandCapture));
  auto bad_data = Data(2, 0);
  bad_data.error = kStatusFrameLength;
  auto reply = target.Handle(bad_data);
  EXPECT_EQ(reply->code, 4) << "so the host's run sees the error and stops";
  EXPECT_EQ(reply->status, 0x4800);
  auto bad_command = Command(3, 0);
  bad_command.error = kStatusChecksum;
  reply = target.Handle(bad_command);
  EXPECT_EQ(reply->code, 0);
  EXPECT_EQ(reply->status, 0x4040);
  EXPECT_EQ(target.image().block_count(), 0u);
  EXPECT_TRUE(target.in_loader_mode());
}

TEST(Bootloader, RetransmissionsAreStoredOnceAndErasesClearTheImage) {
  Bootloader target({}, true);
  target.Handle(Command(1, kCommandCapture));
  target.Handle(Data(1, 0x11));
  auto reply = target.Handle(Data(1, 0x11));
  EXPECT_TRUE(reply->retransmission);
  EXPECT_EQ(reply->block_number, 1u);
  // Same text under a new number is a new block (a file may repeat itself).
  reply = target.Handle(Data(2, 0x11));
  EXPECT_FALSE(reply->retransmission);
  EXPECT_EQ(reply->block_number, 2u);
  // A command in between: the next run's block 2 is new, not a repeat.
  target.Handle(Command(3, kCommandEraseData));
  EXPECT_EQ(target.image().block_count(), 2u) << "the EEPROM erase leaves program memory";
  reply = target.Handle(Data(2, 0x11));
  EXPECT_EQ(reply->block_number, 3u);

  target.Handle(Command(4, kCommandEraseProgram));
  EXPECT_EQ(target.image().block_count(), 0u);
  target.Handle(Data(1, 0x22));
  target.Handle(Command(5, kCommandEraseAll));
  EXPECT_EQ(target.image().block_count(), 0u);
}

TEST(ImageStore, WritesTheBlocksInOrderAndReplacesTheFileWhole) {
  testsupport::TempDir dir;
  const auto path = dir.path() / "image.bin";
  ImageStore image;
  const std::vector<uint8_t> a(kBlockSize, 0xAA), b(kBlockSize, 0xBB);
  image.Add(1, "*a", a);
  image.Add(2, "*b", b);
  std::string error;
  ASSERT_TRUE(image.WriteTo(path, &error)) << error;
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> written{std::istreambuf_iterator<char>(in), {}};
  std::vector<uint8_t> expected(a);
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(written, expected);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "image.bin.part"));

  EXPECT_FALSE(image.WriteTo(dir.path() / "missing" / "image.bin", &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

}  // namespace
}  // namespace targetsim
