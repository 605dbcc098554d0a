#pragma once
// The target's answer to one host record.
#include <cstdint>
#include <string>

namespace targetsim {

struct Response {
  uint16_t target_id = 0;
  uint16_t sequence = 0;
  uint8_t code = 0;
  uint16_t status = 0;
};

// '!', ID, sequence, code, status, checksum, CR LF. The checksum makes the
// seven bytes before it and itself add up to a multiple of 256;
// `checksum_offset` is added to it to send a deliberately wrong one.
std::string BuildResponseRecord(const Response& response, bool lower_case,
                                uint8_t checksum_offset = 0);

}  // namespace targetsim
