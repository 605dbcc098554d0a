#pragma once
// The target behind the port: received bytes in, timed answer writes out.
// It owns no port and reads no clock, so tests can drive it in virtual time.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bootloader.h"
#include "fault_injector.h"
#include "host_record.h"
#include "line_pacer.h"
#include "sim_options.h"

namespace targetsim {

struct OutgoingWrite {
  std::string bytes;
  bool hang_up_after = false;  // close the port once this is written
};

class TargetEngine {
 public:
  using Log = std::function<void(const std::string&)>;

  // `log` receives the verbose log lines (may be empty); `warn` problems the
  // operator must see.
  TargetEngine(const SimOptions& options, Log log, Log warn);

  void Receive(std::string_view bytes, SimClock::time_point now);
  // The host closed the port: a half-received record and answers not yet
  // sent are lost, as on a real line.
  void HostClosed();
  // When something is due next: an answer, or the unit powering on.
  std::optional<SimClock::time_point> NextWakeUp() const;
  // The writes whose time has come, in order.
  std::vector<OutgoingWrite> TakeDue(SimClock::time_point now);
  // Writes the received image to --image-out, if given.
  void SaveImage();

  const Bootloader& bootloader() const { return bootloader_; }

 private:
  void HandleLine(const std::string& line, SimClock::time_point at);
  void PowerOnIfDue(SimClock::time_point now);

  SimOptions options_;
  Log log_;
  Log warn_;
  Bootloader bootloader_;
  FaultInjector faults_;
  LinePacer pacer_;
  RecordFramer framer_;
  std::optional<SimClock::time_point> power_on_at_;
  SimClock::time_point busy_until_{};
  uint32_t records_answered_ = 0;
  uint32_t data_records_answered_ = 0;
  uint32_t units_reset_ = 0;     // units that answered a reset and were taken away
  bool last_unit_gone_ = false;  // --units reached: nothing powers on again
  bool hanging_up_ = false;
  bool id_changed_ = false;  // --id-after: another unit answers now
  std::multimap<SimClock::time_point, OutgoingWrite> pending_;
};

}  // namespace targetsim
