#pragma once
// Hex text as the target reads and writes it. The target keeps its own
// helpers so that a mistake in the host's conversions cannot hide here too.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace targetsim {

// The value of one hex digit (either case), or -1 for any other character.
int HexDigitValue(char c);

// Reads exactly two hex digits; nullopt when either is no hex digit.
std::optional<uint8_t> ReadHexByte(std::string_view two);

// Reads exactly four hex digits as a 16-bit value, high digits first.
std::optional<uint16_t> ReadHexWord(std::string_view four);

void AppendHexByte(std::string& out, uint8_t value, bool lower_case);
void AppendHexWord(std::string& out, uint16_t value, bool lower_case);

// The record as it would appear on a line, control characters made visible.
std::string Printable(std::string_view text);

}  // namespace targetsim
