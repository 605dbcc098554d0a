#pragma once
// The records the host sends, as the target receives them: a byte stream cut
// into lines, and each line checked and decoded.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace targetsim {

constexpr size_t kBlockSize = 24;

// Error bits of the status word that describe a received record.
constexpr uint16_t kStatusFrameLength = 0x0800;
constexpr uint16_t kStatusFraming = 0x0200;
constexpr uint16_t kStatusUnsupportedRecord = 0x0100;
constexpr uint16_t kStatusChecksum = 0x0040;

enum class RecordKind { kCommand, kData };

struct HostRecord {
  RecordKind kind = RecordKind::kCommand;
  uint16_t sequence = 0;
  // One of the error bits above, 0 for a sound record; the fields below are
  // only meaningful for a sound record.
  uint16_t error = 0;
  uint8_t command = 0;
  std::vector<uint8_t> block;
  // The record as received, start character to checksum (no line end).
  std::string text;
};

// Cuts the received byte stream into record lines. A start character (':' or
// '*') begins a record, discarding an unfinished one (the host never sends
// one inside a record, so this resynchronises after lost bytes); a line feed
// ends it. Everything outside a record is line noise.
class RecordFramer {
 public:
  // Longest line kept; anything longer is cut here and is a length error.
  static constexpr size_t kMaxLine = 128;

  // The line (start character up to, not including, the line feed) when
  // `c` completes one.
  std::optional<std::string> Feed(char c);
  // Drops a partly received record, e.g. when the host closes the port.
  void Reset();
  size_t noise_bytes() const { return noise_bytes_; }

 private:
  std::string line_;
  bool in_record_ = false;
  size_t noise_bytes_ = 0;
};

// Checks and decodes one line from RecordFramer. nullopt when the line cannot
// be answered at all: without a readable sequence number there is nothing to
// echo.
std::optional<HostRecord> ParseHostRecord(std::string_view line);

}  // namespace targetsim
