#pragma once
// The target's status word in words: one line per set bit, and the target
// information block shown after each reported response.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel {

// Bits the loader logic acts on itself.
constexpr uint16_t kStatusLoaderMode = 0x4000;
constexpr uint16_t kStatusNotInLoaderMode = 0x1000;
constexpr uint16_t kStatusProgrammingErrors = 0x0A42;

// The lines for the set bits of `status`: 0x0400 first, then from the
// highest bit down; bit 0x0001 has none.
std::vector<std::string> StatusBitLines(uint16_t status);

// The target information block for a response record is its heading (the
// target ID, the sequence and the status characters as received), the lines
// of the status word, and the underline. Characters missing from a short
// record show as nothing.
std::vector<std::string> TargetInfoHeading(std::string_view record);
std::string TargetInfoUnderline();

}  // namespace quarnel
