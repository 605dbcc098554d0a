#include "operations/block_ack.h"

#include "link/status_bits.h"

namespace quarnel {
namespace {

struct ErrorBitLine {
  uint16_t bit;
  const char* line;
};
// The order in which the run lists them. "  missing Type 4 record" is meant to
// differ from the status-bit line "  Error - missing Type 4 record" of the
// target information block: here it is a detail under the error heading.
constexpr ErrorBitLine kRecordErrorLines[] = {
    {0x0800, "  record frame length error"},
    {0x0200, "  record framing error"},
    {0x0040, "  record checksum error"},
    {0x0002, "  missing Type 4 record"},
};

}  // namespace

AckMeaning MeaningOfAck(uint16_t status) {
  if ((status & kStatusNotInLoaderMode) != 0) return AckMeaning::kNotInLoaderMode;
  if ((status & kStatusProgrammingErrors) != 0) return AckMeaning::kRecordError;
  return AckMeaning::kGoOn;
}

std::vector<std::string> AbortLines(AckMeaning meaning, uint16_t status) {
  std::vector<std::string> lines;
  switch (meaning) {
    case AckMeaning::kGoOn:
      return lines;
    case AckMeaning::kNotInLoaderMode:
      lines.emplace_back("ERROR - System not in Loader Mode");
      break;
    case AckMeaning::kRecordError:
      lines.emplace_back("ERROR - Error during Programming");
      for (const auto& [bit, line] : kRecordErrorLines) {
        if ((status & bit) != 0) lines.emplace_back(line);
      }
      break;
  }
  lines.emplace_back("  Programming Aborted");
  return lines;
}

}  // namespace quarnel
