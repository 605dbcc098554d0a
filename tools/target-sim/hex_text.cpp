#include "hex_text.h"

namespace targetsim {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<uint8_t> ReadHexByte(std::string_view two) {
  if (two.size() != 2) return std::nullopt;
  const int high = HexDigitValue(two[0]);
  const int low = HexDigitValue(two[1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<uint8_t>(high * 16 + low);
}

std::optional<uint16_t> ReadHexWord(std::string_view four) {
  if (four.size() != 4) return std::nullopt;
  const auto high = ReadHexByte(four.substr(0, 2));
  const auto low = ReadHexByte(four.substr(2, 2));
  if (!high || !low) return std::nullopt;
  return static_cast<uint16_t>(*high << 8 | *low);
}

void AppendHexByte(std::string& out, uint8_t value, bool lower_case) {
  const char* digits = lower_case ? "0123456789abcdef" : "0123456789ABCDEF";
  out += digits[value >> 4];
  out += digits[value & 0x0F];
}

void AppendHexWord(std::string& out, uint16_t value, bool lower_case) {
  AppendHexByte(out, static_cast<uint8_t>(value >> 8), lower_case);
  AppendHexByte(out, static_cast<uint8_t>(value & 0xFF), lower_case);
}

std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      out += "\\x";
      AppendHexByte(out, static_cast<uint8_t>(c), true);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace targetsim
