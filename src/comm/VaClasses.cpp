#include "comm/VaClasses.h"

namespace comm {

void TVaPersistent::BeginUpdate() {
  ++update_count_;
}

void TVaPersistent::EndUpdate() {
  if (update_count_ > 0) --update_count_;
  Changed();
}

void TVaPersistent::Changed() {
  if (update_count_ == 0 && on_change_) on_change_(this);
}

}  // namespace comm
