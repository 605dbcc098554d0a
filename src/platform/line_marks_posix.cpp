#include "platform/line_marks_posix.h"

#include "platform/comm_records.h"

namespace platform {

LineMarkDecoder::Found LineMarkDecoder::Decode(std::span<uint8_t> block) {
  Found found;
  for (const uint8_t byte : block) {
    switch (state_) {
      case State::kData:
        if (byte == 0xFF) {
          state_ = State::kAfterMark;
        } else {
          block[found.data++] = byte;
        }
        break;
      case State::kAfterMark:
        if (byte == 0xFF) {
          block[found.data++] = byte;
          state_ = State::kData;
        } else {
          state_ = State::kAfterMarkZero;  // byte is the 0 of a mark
        }
        break;
      case State::kAfterMarkZero:
        if (byte == 0) {
          found.events |= kEvBreak;
          found.errors |= kCeBreak;
        } else {
          // A byte that failed its checks is dropped, not taken for data.
          found.events |= kEvErr;
          found.errors |= kCeFrame;
        }
        state_ = State::kData;
        break;
    }
  }
  return found;
}

}  // namespace platform
