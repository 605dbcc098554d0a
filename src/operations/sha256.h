#pragma once
// The SHA-256 of a byte sequence, as the image's fingerprint in reports and
// logs. Kept apart: the only file that knows the hash library.
#include <cstdint>
#include <span>
#include <string>

namespace quarnel {

// 64 lower-case hexadecimal digits, as sha256sum prints them.
std::string Sha256Hex(std::span<const uint8_t> bytes);

}  // namespace quarnel
