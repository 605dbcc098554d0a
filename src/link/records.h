#pragma once
// Building the host's records: command records (':') and data records ('*'),
// each with a sequence number and a checksum, in upper-case hex text.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/link_port.h"
#include "link/link_state.h"

namespace quarnel {

constexpr int BlockSize = 24;

// Two upper-case hex characters, high nibble first.
std::string ByteToHex(uint8_t value);
// Four upper-case hex characters: a status word as the target sends it.
std::string WordToHex(uint16_t value);
// Reads hex text without validating it: every character counts as a digit
// (lower case as upper case; others give values outside 0..15); "" gives 0.
int32_t HexToInt(std::string_view text);

// The steps of building a record in `link`'s buffer.
void AddRecordByte(LinkState& link, int value);
void AddRecordChecksum(LinkState& link);

// Build the record with `link`'s next sequence number, keep it as its last
// record and write it to `port` as one text (the result of the write is not
// used).
void SendCommand(LinkState& link, int code, LinkPort& port);
void SendDataRecord(LinkState& link, std::span<const uint8_t, BlockSize> block, LinkPort& port);
// Writes `link`'s last record again, unchanged.
void ResendLastRecord(const LinkState& link, LinkPort& port);

}  // namespace quarnel
