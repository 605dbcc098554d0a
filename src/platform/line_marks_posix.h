#pragma once
// Takes the marks out of a terminal's input while it reports breaks in-band
// (PARMRK): "\377\0\0" is a break, "\377\0" c a byte received in error, and
// "\377\377" a data byte \377. A mark may be split across reads.
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

class LineMarkDecoder {
 public:
  struct Found {
    size_t data = 0;      // data bytes left at the front of the block
    uint32_t events = 0;  // kEvBreak, kEvErr
    uint32_t errors = 0;  // kCeBreak, kCeFrame
  };

  // Decodes `block` in place.
  Found Decode(std::span<uint8_t> block);
  void Reset() { state_ = State::kData; }

 private:
  enum class State { kData, kAfterMark, kAfterMarkZero };
  State state_ = State::kData;
};

}  // namespace platform
