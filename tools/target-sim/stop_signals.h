#pragma once
// SIGINT and SIGTERM end the simulator cleanly. They are blocked except
// inside the port wait, so a signal can never slip in between the check and
// the wait and leave the simulator sleeping.
#include <signal.h>

namespace targetsim {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool requested() const;
  // The signal mask to wait with: the stop signals unblocked.
  const sigset_t* wait_mask() const { return &wait_mask_; }

 private:
  sigset_t previous_mask_{};
  sigset_t wait_mask_{};
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

}  // namespace targetsim
