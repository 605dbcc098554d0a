#pragma once
// The image as the target received it: the data blocks in order.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace targetsim {

class ImageStore {
 public:
  struct Added {
    size_t block_number;  // 1-based position of the block in the image
    bool retransmission;
  };

  // Stores a block. A record identical to the one stored last (same sequence
  // number and text) is the host repeating a block whose acknowledgement it
  // missed: it is not stored twice.
  Added Add(uint16_t sequence, std::string_view record_text, std::span<const uint8_t> block);
  // Any other record in between means the next data record is new, even if
  // it repeats the last one.
  void EndRetransmissionWindow() { last_text_.clear(); }
  void Clear();

  size_t block_count() const { return blocks_.size(); }
  std::vector<uint8_t> Bytes() const;

  // Writes the image through a temporary file renamed into place, so a
  // reader never sees half a file. False with a message on failure.
  bool WriteTo(const std::filesystem::path& path, std::string* error) const;

 private:
  std::vector<std::vector<uint8_t>> blocks_;
  uint16_t last_sequence_ = 0;
  std::string last_text_;
};

}  // namespace targetsim
