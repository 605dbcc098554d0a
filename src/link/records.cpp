#include "link/records.h"

#include <cstring>

#include "link/link_state.h"

namespace quarnel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendChar(LinkState& link, char c) {
  link.RecordBuffer[link.RecordLength] = c;
  ++link.RecordLength;
}

// Steps shared by both kinds of record: a fresh sequence number, the start
// character and the sequence bytes.
void BeginRecord(LinkState& link, char start) {
  link.RecordLength = 0;
  link.RecordSum = 0;
  // 0xFFFF is never sent: the counter runs ..., 0xFFFE, 0, 1, ...
  link.SequenceNumber = static_cast<uint16_t>(link.SequenceNumber + 1);
  if (link.SequenceNumber == 0xFFFF) link.SequenceNumber = 0;
  AppendChar(link, start);
  AddRecordByte(link, link.SequenceNumber >> 8);
  AddRecordByte(link, link.SequenceNumber & 0xFF);
}

void FinishAndSend(LinkState& link, LinkPort& port) {
  AddRecordChecksum(link);
  AppendChar(link, '\r');
  AppendChar(link, '\n');
  std::memcpy(link.LastRecord, link.RecordBuffer, static_cast<size_t>(link.RecordLength));
  link.LastRecord[link.RecordLength] = '\0';
  link.LastRecordLength = link.RecordLength;
  // The write's result is not used: a closed port swallows the record, and
  // the operation's own timer notices the missing answer.
  port.WriteText(std::string(link.RecordBuffer, static_cast<size_t>(link.RecordLength)));
}

}  // namespace

std::string ByteToHex(uint8_t value) {
  return std::string{kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

std::string WordToHex(uint16_t value) {
  return ByteToHex(static_cast<uint8_t>(value >> 8)) +
         ByteToHex(static_cast<uint8_t>(value & 0xFF));
}

int32_t HexToInt(std::string_view text) {
  // Unsigned arithmetic: a long or odd text wraps around instead of
  // overflowing; the decoder only ever passes two or four characters.
  uint32_t result = 0;
  for (char raw : text) {
    int c = static_cast<unsigned char>(raw);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    const int digit = c >= 'A' ? c - 'A' + 10 : c - '0';
    result = result * 16u + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(result);
}

void AddRecordByte(LinkState& link, int value) {
  const std::string hex = ByteToHex(static_cast<uint8_t>(value & 0xFF));
  AppendChar(link, hex[0]);
  AppendChar(link, hex[1]);
  link.RecordSum += value;
}

void AddRecordChecksum(LinkState& link) {
  const std::string hex = ByteToHex(static_cast<uint8_t>(-link.RecordSum & 0xFF));
  AppendChar(link, hex[0]);
  AppendChar(link, hex[1]);
}

void SendCommand(LinkState& link, int code, LinkPort& port) {
  BeginRecord(link, ':');
  AddRecordByte(link, 1);
  AddRecordByte(link, code);
  FinishAndSend(link, port);
}

void SendDataRecord(LinkState& link, std::span<const uint8_t, BlockSize> block, LinkPort& port) {
  BeginRecord(link, '*');
  for (uint8_t byte : block) AddRecordByte(link, byte);
  FinishAndSend(link, port);
}

void ResendLastRecord(const LinkState& link, LinkPort& port) {
  port.WriteText(std::string(link.LastRecord, static_cast<size_t>(link.LastRecordLength)));
}

}  // namespace quarnel
