#pragma once
// The bootloader resident on the target: what it does with each record and
// what it answers. Time-free, so it can be tested without a port; the
// simulator applies the busy times it reports.
#include <cstdint>
#include <optional>

#include "host_record.h"
#include "image_store.h"

namespace targetsim {

constexpr uint16_t kStatusLoaderMode = 0x4000;
constexpr uint16_t kStatusNotInLoaderMode = 0x1000;
constexpr uint16_t kStatusRecordProgrammed = 0x0010;

constexpr uint8_t kCommandCapture = 3;
constexpr uint8_t kCommandEraseAll = 6;
constexpr uint8_t kCommandEraseProgram = 7;
constexpr uint8_t kCommandEraseData = 8;
constexpr uint8_t kCommandReset = 9;

constexpr uint8_t kCodeNone = 0;
constexpr uint8_t kCodeBlockAck = 4;

struct BootloaderTimes {
  uint32_t erase_ms = 0;
  uint32_t program_ms = 0;
};

struct Reply {
  uint8_t code = 0;
  uint16_t status = 0;
  // How long the target is busy before it can answer.
  uint32_t busy_ms = 0;
  // The record was a data block stored at this 1-based position.
  std::optional<size_t> block_number;
  bool retransmission = false;
  bool reset = false;
};

class Bootloader {
 public:
  explicit Bootloader(BootloaderTimes times, bool powered) : times_(times), powered_(powered) {}

  void PowerOn() { powered_ = true; }
  // The unit is taken away: the next one starts outside its loader mode.
  void PowerOff() {
    powered_ = false;
    loader_mode_ = false;
  }
  bool powered() const { return powered_; }
  bool in_loader_mode() const { return loader_mode_; }
  const ImageStore& image() const { return image_; }

  // The answer to one record; nullopt while the target is unpowered and hears
  // nothing.
  std::optional<Reply> Handle(const HostRecord& record);

 private:
  Reply HandleCommand(uint8_t command);
  Reply HandleData(const HostRecord& record);

  BootloaderTimes times_;
  bool powered_;
  bool loader_mode_ = false;
  ImageStore image_;
};

}  // namespace targetsim
