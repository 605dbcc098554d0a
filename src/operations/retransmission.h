#pragma once
// When an unanswered record of a programming run is sent again: every 2 s,
// nine times at most; the tenth expiry of the timer ends the run.
#include <cstdint>

namespace quarnel {

constexpr uint32_t kRetransmitIntervalMs = 2000;
constexpr int32_t kRetransmissionLimit = 9;
// A record goes out this often at most: once, then each retransmission.
constexpr int32_t kSendingsPerRecord = kRetransmissionLimit + 1;

// True when the `expiries`-th expiry of the timer since the record was first
// sent calls for sending it again; false when the run has failed.
bool RetransmissionDue(int32_t expiries);

}  // namespace quarnel
