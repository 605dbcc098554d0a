#include "platform/receive_queue.h"

#include <algorithm>

#include "platform/comm_records.h"

namespace platform {

void ReceiveQueue::SetCapacity(size_t capacity) {
  capacity_ = capacity;
  if (bytes_.size() > capacity_) DropOldest(bytes_.size() - capacity_);
  if (!Above80Percent()) above_80_percent_ = false;
}

uint32_t ReceiveQueue::Put(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return 0;
  uint32_t events = kEvRxChar;
  if (std::find(bytes.begin(), bytes.end(), event_char_) != bytes.end()) events |= kEvRxFlag;

  // Of a block larger than the whole queue only its end can be kept.
  if (bytes.size() > capacity_) {
    bytes = bytes.last(capacity_);
    errors_ |= kCeRxOver;
    events |= kEvErr;
    bytes_.clear();
  }
  const size_t room = capacity_ - bytes_.size();
  if (bytes.size() > room) {
    DropOldest(bytes.size() - room);
    events |= kEvErr;
  }
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());

  if (Above80Percent() && !above_80_percent_) events |= kEvRx80Full;
  above_80_percent_ = Above80Percent();
  return events;
}

size_t ReceiveQueue::Take(std::span<uint8_t> out) {
  const size_t n = std::min(out.size(), bytes_.size());
  std::copy_n(bytes_.begin(), n, out.begin());
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
  if (!Above80Percent()) above_80_percent_ = false;
  return n;
}

uint32_t ReceiveQueue::TakeErrors() {
  const uint32_t errors = errors_;
  errors_ = 0;
  return errors;
}

void ReceiveQueue::Clear() {
  bytes_.clear();
  above_80_percent_ = false;
}

void ReceiveQueue::DropOldest(size_t count) {
  count = std::min(count, bytes_.size());
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
  if (count > 0) errors_ |= kCeRxOver;
}

bool ReceiveQueue::Above80Percent() const {
  // In 64 bits: a capacity near the largest ReadSize must not overflow.
  return uint64_t{bytes_.size()} * 5 > uint64_t{capacity_} * 4;
}

}  // namespace platform
