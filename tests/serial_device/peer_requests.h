#pragma once
// What serial-peer-server and its client on Windows share: requests and
// answers are lines of text, bytes in them hexadecimal.
#include <optional>
#include <string>

namespace platform::testing {

inline std::string HexText(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

inline std::optional<std::string> BytesOfHexText(const std::string& text) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high << 4 | low);
  }
  return bytes;
}

// The next line, without its end, from what `receive(buffer, size)` hands
// over (at most size bytes; 0 or less once the other side has closed);
// `pending` keeps what came after it. nullopt once the other side has closed.
template <typename Receive>
std::optional<std::string> NextLine(std::string& pending, Receive receive) {
  for (;;) {
    if (const size_t end = pending.find('\n'); end != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      return line;
    }
    char buffer[65536];
    const auto got = receive(buffer, static_cast<int>(sizeof buffer));
    if (got <= 0) return std::nullopt;
    pending.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace platform::testing
