#include "operations/retransmission.h"

namespace quarnel {

bool RetransmissionDue(int32_t expiries) {
  return expiries <= kRetransmissionLimit;
}

}  // namespace quarnel
