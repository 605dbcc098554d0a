#pragma once
// Files for tests: images of bytes, and text written by child processes.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// `size` bytes from a seeded generator: the same image for the same seed.
std::vector<uint8_t> MakeImage(size_t size, uint32_t seed);
// Bytes 1, 2, 3, ... so that every 24-byte block differs from the next.
std::vector<uint8_t> CountingBytes(size_t count);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testsupport
