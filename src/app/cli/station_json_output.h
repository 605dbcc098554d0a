#pragma once
// A station's JSON events on stdout (--json): every event of every port's
// child with the port added, what the supervisor says of a port as message
// and outcome events, and a last summary.
#include <string>

#include "app/cli/output_channel.h"
#include "station/supervisor.h"

namespace quarnel::cli {

class StationJsonOutput : public station::StationObserver {
 public:
  // Progress and status events may be dropped in `out`; no other is.
  StationJsonOutput(OutputChannel& out, const station::Supervisor& supervisor)
      : out_(out), supervisor_(supervisor) {}

  void ChildEventArrived(size_t slot, const station::TimedEvent& event) override;
  void ChildTextArrived(size_t slot, const std::string& text,
                        const std::string& unreadable) override;
  void SlotNote(size_t slot, const std::string& text) override;
  void UnitRecorded(size_t slot, const station::UnitResult& result, bool from_child) override;
  void Draining(const std::string& reason) override;

  // The summary: every port's last outcome and the station's exit status.
  void Finish(int exit_status);

 private:
  void Emit(size_t slot, const station::ChildEvent& event);
  void Write(const std::string& line, OutputChannel::Kind kind);

  OutputChannel& out_;
  const station::Supervisor& supervisor_;
};

}  // namespace quarnel::cli
