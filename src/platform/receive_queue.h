#pragma once
// The receive queue of a serial device, as the driver the comm component was
// written for keeps it: the device puts in whatever it has read from the
// line, and the queue counts the bytes, spots the event character among
// them, tells when it runs more than 80 % full and hands the bytes out to
// reads, oldest first. Portable code with no system calls: every platform's
// device fills one.
//
// A full queue never stops the device from reading. When more arrives than
// fits, the oldest bytes are dropped to make room, and a receive overrun
// (kCeRxOver) is noted. Keeping the newest bytes keeps what the next answer
// is made of, and an event character just seen stays in the queue together
// with the bytes before it. The event character is looked for in everything
// that arrives, dropped or kept.
//
// Not thread-safe: the device guards it with its own lock.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

namespace platform {

class ReceiveQueue {
 public:
  static constexpr size_t kDefaultCapacity = 4096;

  explicit ReceiveQueue(size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  size_t Capacity() const { return capacity_; }
  // A smaller capacity than the bytes held drops the oldest ones, as an
  // overrun.
  void SetCapacity(size_t capacity);
  void SetEventChar(char event_char) { event_char_ = static_cast<uint8_t>(event_char); }

  // Takes bytes that arrived. Returns the events they raise (kEv* bits):
  // kEvRxChar for any byte, kEvRxFlag when the event character is among
  // them, kEvRx80Full when the queue passes 80 % of its capacity (once, until
  // it is back at 80 % or less), kEvErr when bytes had to be dropped.
  uint32_t Put(std::span<const uint8_t> bytes);

  // Hands out up to out.size() bytes, oldest first; returns how many.
  size_t Take(std::span<uint8_t> out);

  size_t Count() const { return bytes_.size(); }

  // Error flags (kCeRxOver) noted since the last call; clears them.
  uint32_t TakeErrors();

  // Drops everything held, without an overrun.
  void Clear();

 private:
  void DropOldest(size_t count);
  bool Above80Percent() const;

  std::deque<uint8_t> bytes_;
  size_t capacity_;
  uint8_t event_char_ = 0;
  bool above_80_percent_ = false;
  uint32_t errors_ = 0;
};

}  // namespace platform
