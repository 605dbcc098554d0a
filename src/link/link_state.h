#pragma once
// The sender's side of the link: the sequence counter and the record being
// built, and the last record sent, kept for retransmission. Each window owns
// one, so several windows in one process keep their own numbering; it is used
// on the main thread only.
#include <cstdint>

namespace quarnel {

struct LinkState {
  uint16_t SequenceNumber = 0;  // number of the record built last
  char RecordBuffer[256] = {};  // the record being built
  int32_t RecordLength = 0;
  int32_t RecordSum = 0;
  char LastRecord[256] = {};  // the last record sent, NUL-terminated, for retransmission
  int32_t LastRecordLength = 0;
};

}  // namespace quarnel
