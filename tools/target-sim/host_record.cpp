#include "host_record.h"

#include "hex_text.h"

namespace targetsim {
namespace {

constexpr char kCommandStart = ':';
constexpr char kDataStart = '*';
// Characters between the start character and the line end.
constexpr size_t kCommandBodyLength = 10;  // sequence, record type, code, checksum
constexpr size_t kDataBodyLength = 4 + 2 * kBlockSize + 2;
constexpr uint8_t kCommandRecordType = 0x01;

bool IsKnownCommand(uint8_t code) {
  return code == 3 || code == 6 || code == 7 || code == 8 || code == 9;
}

}  // namespace

std::optional<std::string> RecordFramer::Feed(char c) {
  if (c == kCommandStart || c == kDataStart) {
    if (in_record_) noise_bytes_ += line_.size();
    line_.assign(1, c);
    in_record_ = true;
    return std::nullopt;
  }
  if (!in_record_) {
    ++noise_bytes_;
    return std::nullopt;
  }
  if (c == '\n') {
    in_record_ = false;
    std::string line;
    line.swap(line_);
    return line;
  }
  if (line_.size() < kMaxLine) line_ += c;
  return std::nullopt;
}

void RecordFramer::Reset() {
  line_.clear();
  in_record_ = false;
}

std::optional<HostRecord> ParseHostRecord(std::string_view line) {
  if (line.empty() || (line[0] != kCommandStart && line[0] != kDataStart)) return std::nullopt;
  const bool has_cr = line.back() == '\r';
  const std::string_view body = line.substr(1, line.size() - 1 - (has_cr ? 1 : 0));
  const auto sequence = ReadHexWord(body.substr(0, 4));
  if (!sequence) return std::nullopt;

  HostRecord record;
  record.kind = line[0] == kCommandStart ? RecordKind::kCommand : RecordKind::kData;
  record.sequence = *sequence;
  record.text.assign(line.substr(0, 1 + body.size()));

  for (const char c : body) {
    if (HexDigitValue(c) < 0) {
      record.error = kStatusFraming;
      return record;
    }
  }
  const size_t expected =
      record.kind == RecordKind::kCommand ? kCommandBodyLength : kDataBodyLength;
  if (body.size() != expected) {
    record.error = kStatusFrameLength;
    return record;
  }
  if (!has_cr) {
    record.error = kStatusFraming;
    return record;
  }
  std::vector<uint8_t> bytes;
  unsigned sum = 0;
  for (size_t i = 0; i < body.size(); i += 2) {
    bytes.push_back(*ReadHexByte(body.substr(i, 2)));
    sum += bytes.back();
  }
  if (sum % 256 != 0) {
    record.error = kStatusChecksum;
    return record;
  }
  // bytes: sequence high, sequence low, payload..., checksum
  if (record.kind == RecordKind::kCommand) {
    if (bytes[2] != kCommandRecordType || !IsKnownCommand(bytes[3])) {
      record.error = kStatusUnsupportedRecord;
      return record;
    }
    record.command = bytes[3];
  } else {
    record.block.assign(bytes.begin() + 2, bytes.end() - 1);
  }
  return record;
}

}  // namespace targetsim
