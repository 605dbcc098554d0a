// Programs one 64 KiB image into 1, 4, 8 and 16 simulated targets at once at
// 115200 baud (the simulators pace the line), through quarnel-cli with
// several ports, and reports side by side:
//  - each unit's programming run (its first block to its last, from the
//    progress events) divided by the single unit's: the goal is at most 1.02
//    at 8 and at 16 ports; and each unit's whole time (capture's answer to its end),
//    which the guided chain's 1.5 s steps make coarser;
//  - the host's CPU time (quarnel-cli and the processes it started, not the
//    simulators) as a share of one core per port: the goal is under 1 % at
//    8 and 16 ports.
// Not a pass/fail test, and not run by ctest: a run takes about ten minutes.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/simulator.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Round {
  int ports = 0;
  int exit_status = -1;
  std::vector<double> unit_s;
  std::vector<double> run_s;
  double wall_s = 0;
  double cpu_s = 0;
  bool images_ok = true;
};

// Seconds since midnight of an event's "time" ("2026-12-09T04:12:43.402Z").
double SecondsOfDay(const std::string& time) {
  if (time.size() < 23) return 0;
  return std::stoi(time.substr(11, 2)) * 3600.0 + std::stoi(time.substr(14, 2)) * 60.0 +
         std::stod(time.substr(17, 6));
}

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Round Program(int ports, const std::vector<uint8_t>& image, int program_ms) {
  testsupport::TempDir work("quarnel-station-bench");
  const auto image_path = work.path() / "image.cry";
  testsupport::WriteBytes(image_path, image);
  Round round;
  round.ports = ports;
  std::vector<std::unique_ptr<testsupport::Simulator>> sims;
  std::vector<std::string> args{"--json"};
  for (int i = 0; i < ports; ++i) {
    testsupport::Simulator::Options options =
        testsupport::Simulator::Named("bench" + std::to_string(i));
    options.verbose = false;
    sims.push_back(std::make_unique<testsupport::Simulator>(
        work.path(),
        std::vector<std::string>{"--baud", "115200", "--program-ms", std::to_string(program_ms)},
        options));
    args.insert(args.end(), {"--port", "bench" + std::to_string(i)});
  }
  args.push_back(image_path.string());

  const double cpu_before = ChildrenCpuSeconds();
  const auto start = Clock::now();
  {
    testsupport::ChildProcess cli(QUARNEL_CLI, args, work.path(), work.path(), "cli");
    const auto status = cli.WaitForExit(std::chrono::minutes(10));
    round.exit_status = status.value_or(-1);
    round.wall_s = std::chrono::duration<double>(Clock::now() - start).count();
    // quarnel-cli has reaped its children: their time is in its own.
    round.cpu_s = ChildrenCpuSeconds() - cpu_before;
    const auto lines = testsupport::SplitLines(cli.Stdout());
    std::map<std::string, std::pair<double, double>> runs;  // port: first and last block
    for (const std::string& line : lines) {
      const auto event = nlohmann::json::parse(line, nullptr, false);
      if (event.is_discarded()) continue;
      if (event.value("event", "") == "progress") {
        const double at = SecondsOfDay(event.value("time", ""));
        auto [entry, fresh] = runs.try_emplace(event.value("port", ""), at, at);
        if (!fresh) entry->second.second = at;
        continue;
      }
      // One outcome event per unit: a single port's own, or those the
      // supervisor passes on with their port.
      if (event.value("event", "") != "outcome") continue;
      if (event.contains("unit_elapsed_ms") && event["unit_elapsed_ms"].is_number()) {
        round.unit_s.push_back(event["unit_elapsed_ms"].get<double>() / 1000.0);
      }
    }
    for (const auto& [port, times] : runs) {
      double seconds = times.second - times.first;
      if (seconds < 0) seconds += 24 * 3600.0;  // across midnight
      round.run_s.push_back(seconds);
    }
  }
  std::vector<uint8_t> padded = image;
  padded.resize((image.size() + 23) / 24 * 24, 0);
  for (auto& sim : sims) {
    sim->Stop();
    if (sim->ReceivedImage() != padded) round.images_ok = false;
  }
  return round;
}

}  // namespace

int main(int argc, char** argv) {
  size_t size = 64 * 1024;
  int program_ms = 2;
  std::vector<int> counts{1, 4, 8, 16};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--size") {
      size = std::max<size_t>(std::strtoul(argv[i + 1], nullptr, 10), 24);
    } else if (arg == "--program-ms") {
      program_ms = std::atoi(argv[i + 1]);
    } else {
      std::cerr << "usage: quarnel-station-bench [--size BYTES] [--program-ms MS]\n";
      return 2;
    }
  }
  std::mt19937 random(1);
  std::vector<uint8_t> image(size);
  for (auto& b : image) b = static_cast<uint8_t>(random());

  std::vector<Round> rounds;
  for (const int ports : counts) {
    std::cout << "Programming " << size << " bytes into " << ports
              << (ports == 1 ? " simulator" : " simulators") << " at 115200 baud ..." << std::endl;
    rounds.push_back(Program(ports, image, program_ms));
  }
  const auto& single = rounds.front();
  const double single_s = single.unit_s.empty() ? 0 : single.unit_s.front();
  const double single_run_s = single.run_s.empty() ? 0 : single.run_s.front();
  std::printf("\n%5s %5s %9s %8s %9s %8s %8s %8s %9s %s\n", "ports", "exit", "run s", "run x",
              "unit s", "unit x", "wall s", "CPU s", "CPU/port", "images");
  bool goals_met = true;
  for (const Round& round : rounds) {
    const auto worst_of = [](const std::vector<double>& values) {
      return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
    };
    const double worst_unit = worst_of(round.unit_s);
    const double worst_run = worst_of(round.run_s);
    const double unit_ratio = single_s > 0 ? worst_unit / single_s : 0;
    const double run_ratio = single_run_s > 0 ? worst_run / single_run_s : 0;
    const double cpu_per_port = 100.0 * round.cpu_s / round.wall_s / round.ports;
    const bool complete = round.images_ok && static_cast<int>(round.unit_s.size()) == round.ports;
    std::printf("%5d %5d %9.2f %8.4f %9.2f %8.4f %8.2f %8.2f %8.2f%% %s\n", round.ports,
                round.exit_status, worst_run, run_ratio, worst_unit, unit_ratio, round.wall_s,
                round.cpu_s, cpu_per_port, complete ? "all byte for byte" : "NOT ALL");
    if (round.exit_status != 0 || !complete) goals_met = false;
    if (round.ports >= 8 && run_ratio > 1.02) goals_met = false;
    // One port carries the supervisor's whole fixed cost alone: the goal is per port of a station.
    if (round.ports >= 8 && cpu_per_port >= 1.0) goals_met = false;
  }
  std::printf(
      "goals at 8 and 16 ports: every unit within 1.02 x the single-unit time, host CPU "
      "under 1 %% of one core per port: %s\n",
      goals_met ? "met" : "NOT met");
  return goals_met ? 0 : 1;
}
