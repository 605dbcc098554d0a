#pragma once
// What a station front end sets up before its first child starts, written
// once for every front end: the image read once, checked against its pin and
// kept in a private copy that every child programs; the unit log as the
// supervisor's record keeper; each child's arguments.
#include <deque>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "operations/image_snapshot.h"
#include "platform/private_file.h"
#include "station/station_observer.h"
#include "station/station_plan.h"
#include "station/unit_log.h"

namespace quarnel::station {

struct StationImage {
  std::string path;  // absolute, as events and records name it
  ImageSnapshotPtr snapshot;
  std::unique_ptr<platform::PrivateFile> copy;  // what the children read
};

// Reads the image once: none (with what to tell the operator) when it is
// missing, unreadable, empty, not the pinned one, or cannot be copied.
std::variant<StationImage, std::string> PrepareStationImage(const StationPlan& plan);

// What every record of this run of the station carries: the plan's station,
// operator and recipe, a new run ID and this host.
RecordContext RunRecordContext(const StationPlan& plan);

// The arguments of a slot's child: quarnel-cli with --json for its port.
std::vector<std::string> ChildArguments(const StationPlan& plan, const SlotPlan& slot,
                                        const StationImage& image);

// The unit log as the supervisor's record keeper. A record the log cannot
// take is held back whole, in order, and tried again.
class LogRecords : public UnitRecordSink {
 public:
  LogRecords(UnitLog& log, std::string image) : log_(log), image_(std::move(image)) {}
  bool Keep(const SlotPlan& slot, const UnitResult& result, std::string& error) override;
  bool Retry(std::string& error) override;
  // The records never written to the log, as their lines.
  std::vector<std::string> HeldBack() const;

 private:
  UnitLog& log_;
  std::string image_;
  std::deque<UnitLogEntry> held_;
};

}  // namespace quarnel::station
