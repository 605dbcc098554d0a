// Programs a 64 KiB image into quarnel-target-sim and measures the host:
//  - at 115200 baud: the run time against the floor that the link itself
//    sets (per block: the 30 ms pause, 76 characters on the line, the
//    target's programming time);
//  - at full speed (--baud 0): the time the host adds per block beyond the
//    30 ms pause, from the acknowledgement's notification to the next record
//    being written;
//  - the host's CPU time as a share of the run's wall time.
// Not a pass/fail test: it prints the figures and their targets.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "comm/VaComm.h"
#include "link/link_port.h"
#include "support/simulator.h"
#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"
#include "ui/vacomm_link_port.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr double kPacingPauseMs = 30.0;
constexpr int kCharactersPerBlock =
    57 + 19;  // data record and its acknowledgement, line ends included
constexpr int kBitsPerCharacter = 10;
constexpr int kBlockSize = 24;

double MsBetween(SteadyClock::time_point a, SteadyClock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The window's port with a stopwatch: the time from the acknowledgement's
// notification on the main thread to the next data record handed to the port.
class TimedPort : public quarnel::LinkPort {
 public:
  void Attach(quarnel::LinkPort& inner) { inner_ = &inner; }
  void LineNotified() {
    last_notification_ = SteadyClock::now();
    if (last_record_) round_trip_ms_.push_back(MsBetween(*last_record_, *last_notification_));
    last_record_.reset();
  }
  void Forget() { last_notification_.reset(); }
  const std::vector<double>& added_ms() const { return added_ms_; }
  // Data record handed to the port until its answer's notification: the
  // line, the target, and the port's threads and hand-off on the way.
  const std::vector<double>& round_trip_ms() const { return round_trip_ms_; }

  bool WriteText(const std::string& text) override {
    if (!text.empty() && text[0] == '*' && last_notification_) {
      added_ms_.push_back(MsBetween(*last_notification_, SteadyClock::now()) - kPacingPauseMs);
      last_notification_.reset();
    }
    if (!text.empty() && text[0] == '*') last_record_ = SteadyClock::now();
    return inner_->WriteText(text);
  }
  std::string ReadText() override { return inner_->ReadText(); }
  bool IsOpen() const override { return inner_->IsOpen(); }

 private:
  quarnel::LinkPort* inner_ = nullptr;
  std::optional<SteadyClock::time_point> last_notification_;
  std::optional<SteadyClock::time_point> last_record_;
  std::vector<double> added_ms_;
  std::vector<double> round_trip_ms_;
};

class ImageDialog : public tk::DialogService {
 public:
  explicit ImageDialog(std::string path) : path_(std::move(path)) {}
  void ShowMessage(const std::string& text) override { std::cerr << "message: " << text << '\n'; }
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override {
    dialog.FileName = path_;
    return true;
  }

 private:
  std::string path_;
};

struct RunResult {
  int blocks = 0;
  double wall_ms = 0;
  double cpu_ms = 0;
  std::vector<double> added_ms;
  std::vector<double> round_trip_ms;
  std::vector<double> target_view_added_ms;
  bool image_ok = false;
};

// "hh:mm:ss.mmm" at the start of a simulator log line, in ms of the day.
std::optional<long> LogTime(const std::string& line) {
  int h, m, s, ms;
  if (std::sscanf(line.c_str(), "%2d:%2d:%2d.%3d", &h, &m, &s, &ms) != 4) return std::nullopt;
  return ((h * 60L + m) * 60 + s) * 1000 + ms;
}

// The same gap seen from the target (1 ms resolution): its acknowledgement
// sent, the next data record received, less the pause.
std::vector<double> TargetViewAddedMs(const std::filesystem::path& log) {
  std::ifstream in(log);
  std::vector<double> gaps;
  constexpr long kNone = -1;
  long ack_at = kNone;
  for (std::string line; std::getline(in, line);) {
    const auto at = LogTime(line);
    if (!at) continue;
    if (line.find(" -> !") != std::string::npos) {
      ack_at = *at;
    } else if (line.find(" <- *") != std::string::npos) {
      if (ack_at != kNone) gaps.push_back(static_cast<double>(*at - ack_at) - kPacingPauseMs);
      ack_at = kNone;
    } else if (line.find(" <- ") != std::string::npos) {
      ack_at = kNone;
    }
  }
  return gaps;
}

RunResult ProgramOnce(const std::vector<uint8_t>& image, int baud, int program_ms) {
  const auto work = std::filesystem::temp_directory_path() /
                    ("quarnel-bench-" + std::to_string(::getpid()) + "-" + std::to_string(baud));
  std::filesystem::create_directories(work);
  const auto image_path = work / "image.cry";
  std::ofstream(image_path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));

  RunResult result;
  std::vector<uint8_t> received;
  result.blocks = static_cast<int>((image.size() + kBlockSize - 1) / kBlockSize);
  {
    testsupport::Simulator sim(
        work, {"--baud", std::to_string(baud), "--program-ms", std::to_string(program_ms)},
        testsupport::Simulator::Named("bench"));
    tk::HeadlessEventLoop loop(tk::HeadlessEventLoop::Clock::Real);
    ImageDialog dialogs(image_path.string());
    tk::Application::Instance().SetDialogService(&dialogs);

    TimedPort timed;
    quarnel::TForm1::Environment environment;
    environment.port = &timed;
    quarnel::TForm1 form(environment);
    quarnel::VaCommLinkPort port(*form.VaComm);
    timed.Attach(port);
    const tk::TNotifyEvent notify = form.VaComm->OnRxFlag;
    form.VaComm->OnRxFlag = [&timed, notify](tk::TObject* sender) {
      timed.LineNotified();
      if (notify) notify(sender);
    };

    form.CCommPort.SetText(sim.port());
    form.connectClick(&form.connect);
    form.LSCProgramTimer.SetEnabled(false);  // the benchmark starts each step itself
    if (!loop.RunUntil([&] { return form.LastResponseCode == 3; }, 10000)) {
      throw std::runtime_error("the simulated target did not answer the capture");
    }

    timed.Forget();
    const auto wall_start = SteadyClock::now();
    const std::clock_t cpu_start = std::clock();
    form.BPicProgramClick(&form.BPicProgram);
    const bool done = loop.RunUntil([&] { return form.LastResponseCode == 99; }, 600000);
    const std::clock_t cpu_end = std::clock();
    result.wall_ms = MsBetween(wall_start, SteadyClock::now());
    result.cpu_ms = 1000.0 * static_cast<double>(cpu_end - cpu_start) / CLOCKS_PER_SEC;
    result.added_ms = timed.added_ms();
    result.round_trip_ms = timed.round_trip_ms();
    if (!done) throw std::runtime_error("the programming run did not end");

    form.BResetTargetClick(&form.BResetTarget);
    loop.RunUntil([&] { return form.LastResponseCode == 9; }, 5000);
    form.connectClick(&form.connect);
    tk::Application::Instance().SetDialogService(nullptr);
    sim.Stop();
    result.target_view_added_ms = TargetViewAddedMs(sim.log_path());
    received = sim.ReceivedImage();
  }
  std::vector<uint8_t> expected = image;
  expected.resize(static_cast<size_t>(result.blocks) * kBlockSize, 0);
  result.image_ok = received == expected;
  std::filesystem::remove_all(work);
  return result;
}

std::string Fixed(double value, int decimals) {
  std::ostringstream text;
  text.setf(std::ios::fixed);
  text.precision(decimals);
  text << value;
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  size_t size = 64 * 1024;
  int program_ms = 2;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--size") {
      size = std::strtoul(argv[i + 1], nullptr, 10);
    } else if (arg == "--program-ms") {
      program_ms = std::atoi(argv[i + 1]);
    } else {
      std::cerr << "usage: quarnel-bench [--size BYTES] [--program-ms MS]\n";
      return 2;
    }
  }
  if (size == 0) size = 24;
  std::mt19937 random(1);
  std::vector<uint8_t> image(size);
  for (auto& b : image) b = static_cast<uint8_t>(random());

  try {
    std::cout << "Programming " << size << " bytes at --baud 115200 --program-ms " << program_ms
              << " ..." << std::endl;
    const RunResult paced = ProgramOnce(image, 115200, program_ms);
    std::cout << "Programming " << size << " bytes at --baud 0 ..." << std::endl;
    const RunResult fast = ProgramOnce(image, 0, 0);

    const double character_ms = 1000.0 * kBitsPerCharacter / 115200.0;
    const double floor_ms =
        paced.blocks * (kPacingPauseMs + kCharactersPerBlock * character_ms + program_ms);
    const double ratio = paced.wall_ms / floor_ms;
    const double added = Median(fast.added_ms);
    const double target_view = Median(fast.target_view_added_ms);
    const double cpu_paced = 100.0 * paced.cpu_ms / paced.wall_ms;
    const double cpu_fast = 100.0 * fast.cpu_ms / fast.wall_ms;

    std::cout << "image received byte for byte: " << (paced.image_ok ? "yes" : "NO")
              << " at 115200, " << (fast.image_ok ? "yes" : "NO") << " at full speed\n";
    std::cout << "at --baud 115200: record to answer, median "
              << Fixed(Median(paced.round_trip_ms), 3)
              << " ms (the line and the target's programming alone: "
              << Fixed(kCharactersPerBlock * character_ms + program_ms, 3)
              << " ms); at --baud 0: " << Fixed(Median(fast.round_trip_ms), 3) << " ms\n";
    std::cout << "at --baud 115200: host's median added time per block "
              << Fixed(Median(paced.added_ms), 3) << " ms; seen by the target (1 ms resolution) "
              << Fixed(Median(paced.target_view_added_ms), 1)
              << " ms; the rest of the gap to the floor is the simulator's own timing\n";
    std::cout << "at --baud 0, seen by the target (1 ms resolution): median "
              << Fixed(target_view, 1) << " ms added per block beyond the pause\n";
    std::cout << "at --baud 115200: run time " << Fixed(paced.wall_ms / 1000, 2) << " s / floor "
              << Fixed(floor_ms / 1000, 2) << " s (" << paced.blocks << " blocks x (30 ms + 76 x "
              << Fixed(character_ms, 4) << " ms + " << program_ms << " ms)) = " << Fixed(ratio, 4)
              << " (target <= 1.02)\n";
    std::cout << "at --baud 0: host's median added time per block beyond the 30 ms pause: "
              << Fixed(added, 3) << " ms over " << fast.added_ms.size()
              << " blocks (target < 0.5 ms)\n";
    std::cout << "host CPU time / wall time: " << Fixed(cpu_paced, 2) << " % at --baud 115200, "
              << Fixed(cpu_fast, 2) << " % at --baud 0 (target < 5 %)" << std::endl;
    return paced.image_ok && fast.image_ok ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "quarnel-bench: " << error.what() << std::endl;
    return 1;
  }
}
