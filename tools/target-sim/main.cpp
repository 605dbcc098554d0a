// quarnel-target-sim: a simulated target bootloader on a pseudo-terminal.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <stdexcept>

#include "hex_text.h"
#include "quarnel_version.h"
#include "sim_options.h"
#include "sim_port.h"
#include "stop_signals.h"
#include "target_engine.h"

namespace targetsim {
namespace {

// While the host has the port closed the pseudo-terminal reports a hang-up
// at once on every wait, so we look again at this interval instead.
constexpr int kHostAbsentPollMs = 20;
// Time the host gets to read the last answer before a hang-up.
constexpr int kLastAnswerGraceMs = 100;

std::string TimeStamp() {
  const auto now = std::chrono::system_clock::now();
  const auto seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  return text;
}

void LogLine(const std::string& line) {
  std::cerr << TimeStamp() << ' ' << line << std::endl;
}

long long MicrosecondsUntil(std::optional<SimClock::time_point> when, SimClock::time_point now) {
  if (!when) return -1;
  if (*when <= now) return 0;
  // Rounded up, so we never wake just before the deadline and spin.
  const auto wait = std::chrono::ceil<std::chrono::microseconds>(*when - now).count();
  return std::min<long long>(wait, 60'000'000);
}

int Run(const SimOptions& options) {
  StopSignals stop;
  SimPort port(options.name);
  std::cout << port.link_path().string() << std::endl;
  if (options.verbose) LogLine("port " + port.link_path().string() + " -> " + port.device_path());

  TargetEngine engine(options, options.verbose ? TargetEngine::Log(LogLine) : TargetEngine::Log(),
                      [](const std::string& problem) { LogLine("error: " + problem); });
  std::string unsent;
  bool host_present = false;

  while (true) {
    const auto now = SimClock::now();
    for (auto& write : engine.TakeDue(now)) {
      if (!write.bytes.empty()) {
        if (options.verbose) LogLine("-> " + Printable(write.bytes));
        unsent += write.bytes;
      }
      if (write.hang_up_after) {
        port.Write(unsent);
        // Bytes still in the pseudo-terminal when it closes are lost; a real
        // adapter has sent its last answer before it is pulled out.
        port.Pause(kLastAnswerGraceMs, stop);
        port.HangUp();
        LogLine("hung up after block " + std::to_string(options.faults.hang_up_after_block) +
                ", as an unplugged adapter");
        engine.SaveImage();
        return 0;
      }
    }
    if (!unsent.empty() && !port.Write(unsent)) unsent.clear();

    const long long timeout_us = MicrosecondsUntil(engine.NextWakeUp(), SimClock::now());
    switch (port.Wait(timeout_us, !unsent.empty(), stop)) {
      case SimPort::Event::kStop:
        if (options.verbose) LogLine("stop requested");
        engine.SaveImage();
        return 0;
      case SimPort::Event::kClosed:
        LogLine("error: the pseudo-terminal failed");
        engine.SaveImage();
        return 1;
      case SimPort::Event::kReadable: {
        std::string received;
        SimPort::ReadResult result;
        while ((result = port.Read(received)) == SimPort::ReadResult::kData) {
        }
        if (!received.empty()) {
          if (!host_present && options.verbose) LogLine("host is sending");
          host_present = true;
          engine.Receive(received, SimClock::now());
        }
        if (result != SimPort::ReadResult::kHostAbsent) break;
        [[fallthrough]];
      }
      case SimPort::Event::kHostAbsent:
        if (host_present) {
          host_present = false;
          if (options.verbose) LogLine("host closed the port");
          engine.HostClosed();
          unsent.clear();
          port.ApplyRawMode();
        }
        port.Pause(timeout_us < 0 ? kHostAbsentPollMs
                                  : static_cast<int>(std::min<long long>((timeout_us + 999) / 1000,
                                                                         kHostAbsentPollMs)),
                   stop);
        break;
      case SimPort::Event::kTimeout:
      case SimPort::Event::kWritable:
        break;
    }
  }
}

}  // namespace
}  // namespace targetsim

int main(int argc, char** argv) {
  using namespace targetsim;
  const auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (std::holds_alternative<ShowHelp>(parsed)) {
    std::cout << HelpText();
    return 0;
  }
  if (std::holds_alternative<ShowVersion>(parsed)) {
    std::cout << "quarnel-target-sim " << quarnel::kVersion << std::endl;
    return 0;
  }
  if (const auto* error = std::get_if<OptionError>(&parsed)) {
    std::cerr << "quarnel-target-sim: " << error->message << std::endl;
    return 2;
  }
  try {
    return Run(std::get<SimOptions>(parsed));
  } catch (const std::exception& error) {
    std::cerr << "quarnel-target-sim: " << error.what() << std::endl;
    return 1;
  }
}
