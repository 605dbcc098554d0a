#pragma once
// Building the host's records: command records (':') and data records ('*'),
// each with a sequence number and a checksum, in upper-case hex text.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/link_port.h"

namespace quarnel {

constexpr int BlockSize = 24;

// Two upper-case hex characters, high nibble first.
std::string ByteToHex(uint8_t value);
// Reads hex text without validating it: every character counts as a digit
// (lower case as upper case; others give values outside 0..15); "" gives 0.
int32_t HexToInt(std::string_view text);

void AddRecordByte(int value);
void AddRecordChecksum();

// Build the record with the next sequence number, keep it as the last record
// and write it to `port` as one text (the result of the write is not used).
void SendCommand(int code, LinkPort& port);
void SendDataRecord(std::span<const uint8_t, BlockSize> block, LinkPort& port);
// Writes the last record again, unchanged.
void ResendLastRecord(LinkPort& port);

}  // namespace quarnel
