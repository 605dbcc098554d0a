#include "link/status_bits.h"

#include <array>

namespace quarnel {
namespace {

struct StatusBitText {
  uint16_t mask;
  std::string_view line;
};

// 0x0400 comes first, before the high bits. Bit 0x0001 has no line.
constexpr std::array<StatusBitText, 15> kBits{{
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
    // The programming run's own abort detail for this bit reads "  missing
    // Type 4 record" (operations/block_ack.cpp); both texts are meant.
    {0x0002, "  Error - missing Type 4 record"},
}};

constexpr size_t kLabelWidth = 24;
constexpr size_t kUnderlineWidth = 38;

std::string Labelled(std::string_view label, std::string_view record, size_t pos, size_t count) {
  std::string line(label);
  line.resize(kLabelWidth, ' ');
  if (pos < record.size()) line += record.substr(pos, count);
  return line;
}

}  // namespace

std::vector<std::string> StatusBitLines(uint16_t status) {
  std::vector<std::string> lines;
  for (const StatusBitText& bit : kBits) {
    if ((status & bit.mask) != 0) lines.emplace_back(bit.line);
  }
  return lines;
}

std::vector<std::string> TargetInfoHeading(std::string_view record) {
  return {Labelled("Target ID:", record, 1, 4), Labelled("Sequence #:", record, 5, 4),
          Labelled("Target Status:", record, 11, 4)};
}

std::string TargetInfoUnderline() {
  return std::string(kUnderlineWidth, '_');
}

}  // namespace quarnel
