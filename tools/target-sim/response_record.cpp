#include "response_record.h"

#include "hex_text.h"

namespace targetsim {

std::string BuildResponseRecord(const Response& response, bool lower_case,
                                uint8_t checksum_offset) {
  const uint8_t bytes[] = {
      static_cast<uint8_t>(response.target_id >> 8),
      static_cast<uint8_t>(response.target_id),
      static_cast<uint8_t>(response.sequence >> 8),
      static_cast<uint8_t>(response.sequence),
      response.code,
      static_cast<uint8_t>(response.status >> 8),
      static_cast<uint8_t>(response.status),
  };
  std::string text = "!";
  unsigned sum = 0;
  for (const uint8_t b : bytes) {
    AppendHexByte(text, b, lower_case);
    sum += b;
  }
  const auto checksum = static_cast<uint8_t>(256 - sum % 256 + checksum_offset);
  AppendHexByte(text, checksum, lower_case);
  text += "\r\n";
  return text;
}

}  // namespace targetsim
