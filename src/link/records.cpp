#include "link/records.h"

#include <cstring>

#include "link/link_state.h"

namespace quarnel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendChar(char c) {
  LinkState& link = Link();
  link.RecordBuffer[link.RecordLength] = c;
  ++link.RecordLength;
}

// Steps shared by both kinds of record: a fresh sequence number, the start
// character and the sequence bytes.
void BeginRecord(char start) {
  LinkState& link = Link();
  link.RecordLength = 0;
  link.RecordSum = 0;
  // 0xFFFF is never sent: the counter runs ..., 0xFFFE, 0, 1, ...
  link.SequenceNumber = static_cast<uint16_t>(link.SequenceNumber + 1);
  if (link.SequenceNumber == 0xFFFF) link.SequenceNumber = 0;
  AppendChar(start);
  AddRecordByte(link.SequenceNumber >> 8);
  AddRecordByte(link.SequenceNumber & 0xFF);
}

void FinishAndSend(LinkPort& port) {
  LinkState& link = Link();
  AddRecordChecksum();
  AppendChar('\r');
  AppendChar('\n');
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

void AddRecordByte(int value) {
  LinkState& link = Link();
  const std::string hex = ByteToHex(static_cast<uint8_t>(value & 0xFF));
  AppendChar(hex[0]);
  AppendChar(hex[1]);
  link.RecordSum += value;
}

void AddRecordChecksum() {
  const std::string hex = ByteToHex(static_cast<uint8_t>(-Link().RecordSum & 0xFF));
  AppendChar(hex[0]);
  AppendChar(hex[1]);
}

void SendCommand(int code, LinkPort& port) {
  BeginRecord(':');
  AddRecordByte(1);
  AddRecordByte(code);
  FinishAndSend(port);
}

void SendDataRecord(std::span<const uint8_t, BlockSize> block, LinkPort& port) {
  BeginRecord('*');
  for (uint8_t byte : block) AddRecordByte(byte);
  FinishAndSend(port);
}

void ResendLastRecord(LinkPort& port) {
  const LinkState& link = Link();
  port.WriteText(std::string(link.LastRecord, static_cast<size_t>(link.LastRecordLength)));
}

}  // namespace quarnel
