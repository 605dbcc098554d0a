#pragma once
// The sender's link state and the target's last status word: one instance
// each for the whole program, used on the main thread only.
#include <cstdint>

namespace quarnel {

struct LinkState {
  uint16_t SequenceNumber = 0;  // number of the record built last
  char RecordBuffer[256] = {};  // the record being built
  int32_t RecordLength = 0;
  int32_t RecordSum = 0;
  char LastRecord[256] = {};    // the last record sent, NUL-terminated, for retransmission
  int32_t LastRecordLength = 0;
};

LinkState& Link();

// The 16-bit status word of the last response that passed the sequence check.
int32_t& TargetStatus();

}  // namespace quarnel
