#include "stop_signals.h"

#include <atomic>

namespace targetsim {
namespace {

volatile sig_atomic_t stop_requested = 0;

void OnStopSignal(int) {
  stop_requested = 1;
}

}  // namespace

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous_int_);
  ::sigaction(SIGTERM, &action, &previous_term_);
  sigset_t stop_set;
  sigemptyset(&stop_set);
  sigaddset(&stop_set, SIGINT);
  sigaddset(&stop_set, SIGTERM);
  ::sigprocmask(SIG_BLOCK, &stop_set, &previous_mask_);
  wait_mask_ = previous_mask_;
  sigdelset(&wait_mask_, SIGINT);
  sigdelset(&wait_mask_, SIGTERM);
}

StopSignals::~StopSignals() {
  ::sigprocmask(SIG_SETMASK, &previous_mask_, nullptr);
  ::sigaction(SIGINT, &previous_int_, nullptr);
  ::sigaction(SIGTERM, &previous_term_, nullptr);
}

bool StopSignals::requested() const {
  return stop_requested != 0;
}

}  // namespace targetsim
