#include "link/link_state.h"

namespace quarnel {

LinkState& Link() {
  static LinkState state;
  return state;
}

int32_t& TargetStatus() {
  static int32_t status = 0;
  return status;
}

}  // namespace quarnel
