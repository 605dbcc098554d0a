#include "operations/sha256.h"

#include <gcrypt.h>

#include <array>
#include <mutex>

namespace quarnel {
namespace {

// The library must be told it is in use before its first call; a hash needs
// no secure memory.
void InitialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  });
}

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  InitialiseOnce();
  std::array<unsigned char, 32> digest{};
  gcry_md_hash_buffer(GCRY_MD_SHA256, digest.data(), bytes.data(), bytes.size());
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(digest.size() * 2);
  for (const unsigned char byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace quarnel
