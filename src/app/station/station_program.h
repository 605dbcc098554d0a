#pragma once
// What quarnel-station sets up from its station file before the window
// shows, on either system: the recipe read and checked, the unit log opened,
// the image read once and checked against its pin, and each Start's
// supervisor with its children (quarnel-cli beside this program). Whatever
// fails becomes the window's fault, with the file, line and key: no slot
// opens then.
#include <memory>
#include <optional>
#include <string>

#include "station/child_runner.h"
#include "station/station_plan.h"
#include "station/station_setup.h"
#include "station/supervisor_queue.h"
#include "station/unit_log.h"
#include "ui/station/queue_pump.h"
#include "ui/station/station_window.h"

namespace quarnel::station_app {

class StationProgram {
 public:
  explicit StationProgram(const std::string& recipe_path);
  ~StationProgram();

  station_window::StationWindow::Environment Environment();
  station::SupervisorQueue& Queue() { return queue_; }

 private:
  void Fail(const std::string& key, const std::string& message);

  std::string recipe_path_;
  station::SupervisorQueue queue_;
  station::StationPlan plan_;
  std::optional<station::RecipeFault> fault_;
  std::optional<station::UnitLog> log_;
  std::optional<station::StationImage> image_;
  std::optional<station::LogRecords> records_;
  std::unique_ptr<station::ProcessLauncher> launcher_;
};

// Shows the station's window in the system's `View` and runs `loop` until the
// window closes; the children's news reach it through the pump.
template <class View, class Loop>
void RunStationWindow(StationProgram& program, Loop& loop) {
  station_window::StationWindow window(program.Environment());
  station_window::QueuePump pump(
      program.Queue(), [&window](const station::SupervisorInput& input) { window.Deliver(input); });
  View view(window);
  view.Show();
  if (!window.Closed()) loop.Run();
}

// Asks for the station file in the open dialog (`filter` in the dialog's
// form), offering the one opened last time first. False when the operator
// cancels.
bool AskForStationFile(const std::string& filter, std::string& path);

// Keeps `path` (made absolute) as the station file the dialog offers next.
void RememberStationFile(const std::string& path);

// The program every slot's unit runs in: quarnel-cli beside this one.
std::string ChildProgramPath();

}  // namespace quarnel::station_app
