#include "image_store.h"

#include <fstream>
#include <system_error>

namespace targetsim {

ImageStore::Added ImageStore::Add(uint16_t sequence, std::string_view record_text,
                                  std::span<const uint8_t> block) {
  if (!last_text_.empty() && sequence == last_sequence_ && record_text == last_text_) {
    return {blocks_.size(), true};
  }
  blocks_.emplace_back(block.begin(), block.end());
  last_sequence_ = sequence;
  last_text_.assign(record_text);
  return {blocks_.size(), false};
}

void ImageStore::Clear() {
  blocks_.clear();
  last_text_.clear();
}

std::vector<uint8_t> ImageStore::Bytes() const {
  std::vector<uint8_t> bytes;
  for (const auto& block : blocks_) bytes.insert(bytes.end(), block.begin(), block.end());
  return bytes;
}

bool ImageStore::WriteTo(const std::filesystem::path& path, std::string* error) const {
  auto temporary = path;
  temporary += ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    const auto bytes = Bytes();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      if (error) *error = "cannot write " + temporary.string();
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    if (error) *error = "cannot write " + path.string() + ": " + ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace targetsim
