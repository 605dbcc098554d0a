// quarnel-cli with several ports and as a production station, against
// several simulated targets: every unit programmed byte for byte, a fault on
// one fixture kept to that fixture, the unit log and the JSON events as a
// machine reads them, and Ctrl-C leaving nothing behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/e2e_support.h"
#include "quarnel_version.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using json = nlohmann::json;
using namespace std::chrono_literals;

std::vector<json> JsonLines(const std::vector<std::string>& lines) {
  std::vector<json> parsed;
  for (const std::string& line : lines) {
    json value = json::parse(line, nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << "not JSON: " << line;
    if (!value.is_discarded()) parsed.push_back(std::move(value));
  }
  return parsed;
}

std::vector<json> ReadLog(const std::filesystem::path& path) {
  return JsonLines(SplitLines(testsupport::ReadText(path)));
}

// The processes whose command line names `text` (the test's own directory),
// quarnel-cli's children among them; the simulators are left out.
std::vector<std::string> ProcessesNaming(const std::string& text) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream file(entry.path() / "cmdline", std::ios::binary);
    std::string command((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::replace(command.begin(), command.end(), '\0', ' ');
    if (command.find(text) != std::string::npos &&
        command.find("quarnel-target-sim") == std::string::npos) {
      found.push_back(command);
    }
  }
  return found;
}

class StationTest : public ::testing::Test {
 protected:
  std::filesystem::path Image(size_t size) {
    image_ = MakeImage(size, 11);
    const auto path = dir_.path() / "firmware.cry";
    WriteBytes(path, image_);
    return path;
  }
  std::unique_ptr<Simulator> Sim(const std::string& name, std::vector<std::string> args = {}) {
    args.insert(args.end(), {"--erase-ms", "10"});
    return std::make_unique<Simulator>(dir_.path(), args, Simulator::Named(name));
  }
  std::filesystem::path LogPath() const { return dir_.path() / "units.log"; }

  TempDir dir_;
  std::vector<uint8_t> image_;
};

TEST_F(StationTest, ThreePortsAreProgrammedByteForByteAndLoggedOneLineEach) {
  auto a = Sim("fixture-a");
  auto b = Sim("fixture-b");
  auto c = Sim("fixture-c");
  const auto image = Image(500);
  const CliResult cli = RunCli({"--port", "fixture-a", "--port", "fixture-b", "--port", "fixture-c",
                                "--log", LogPath().string(), image.string()},
                               dir_.path());
  ASSERT_EQ(a->Stop(), 0);
  ASSERT_EQ(b->Stop(), 0);
  ASSERT_EQ(c->Stop(), 0);

  EXPECT_EQ(cli.exit_status, 0) << cli.stderr_text;
  for (const Simulator* sim : {a.get(), b.get(), c.get()}) {
    EXPECT_EQ(sim->ReceivedImage(), PaddedToBlocks(image_)) << sim->Log();
  }
  // Not a terminal: each event a line, prefixed with its port; then the table.
  EXPECT_THAT(cli.stdout_lines, ::testing::Contains("fixture-b: Programming Complete"));
  for (const std::string port : {"fixture-a", "fixture-b", "fixture-c"}) {
    EXPECT_EQ(CountIf(cli.stdout_lines,
                      [&](const std::string& line) {
                        return line.starts_with(port + " ") && line.find("programmed") != line.npos;
                      }),
              1)
        << port;
  }

  const std::vector<json> log = ReadLog(LogPath());
  ASSERT_EQ(log.size(), 3u);
  std::set<std::string> ports;
  for (const json& line : log) {
    ports.insert(line.at("port").get<std::string>());
    EXPECT_EQ(line.at("outcome"), "programmed");
    EXPECT_EQ(line.at("exit_status"), 0);
    EXPECT_EQ(line.at("target_id"), "1A2B");
    EXPECT_EQ(line.at("image"), image.string());
    EXPECT_EQ(line.at("image_size"), 500);
    EXPECT_EQ(line.at("image_sha256").get<std::string>().size(), 64u);
    EXPECT_EQ(line.at("blocks"), 21);
    EXPECT_EQ(line.at("retransmissions"), 0);
    EXPECT_FALSE(line.at("host").get<std::string>().empty());
    EXPECT_TRUE(line.at("start_utc").get<std::string>().ends_with("Z"));
    EXPECT_LE(line.at("start_utc").get<std::string>(), line.at("end_utc").get<std::string>());
    EXPECT_GT(line.at("duration_s").get<double>(), 0.0);
  }
  EXPECT_EQ(ports, (std::set<std::string>{"fixture-a", "fixture-b", "fixture-c"}));
}

TEST_F(StationTest, AFixtureThatHangsUpFailsAloneWithItsStatus) {
  auto a = Sim("fixture-a");
  auto b = Sim("fixture-b", {"--hang-up-after", "5"});
  auto c = Sim("fixture-c");
  const auto image = Image(480);
  const auto ports_file = dir_.path() / "ports.txt";
  WriteBytes(ports_file, std::vector<uint8_t>{});
  {
    std::ofstream file(ports_file);
    file << "# the station's fixtures\nfixture-a\n\n  fixture-b  \nfixture-c\n";
  }
  const CliResult cli =
      RunCli({"--ports-from", ports_file.string(), "--log", LogPath().string(), image.string()},
             dir_.path());
  ASSERT_EQ(a->Stop(), 0);
  c->Stop();

  // The port lost (7) is the highest status, and the exit status.
  EXPECT_EQ(cli.exit_status, 7) << cli.stderr_text;
  EXPECT_EQ(a->ReceivedImage(), PaddedToBlocks(image_));
  EXPECT_EQ(c->ReceivedImage(), PaddedToBlocks(image_));
  const std::vector<json> log = ReadLog(LogPath());
  ASSERT_EQ(log.size(), 3u);
  for (const json& line : log) {
    if (line.at("port") == "fixture-b") {
      EXPECT_EQ(line.at("outcome"), "port_lost");
      EXPECT_EQ(line.at("exit_status"), 7);
      EXPECT_EQ(line.at("blocks"), 6);  // the fifth acknowledged, the sixth unanswered
    } else {
      EXPECT_EQ(line.at("outcome"), "programmed") << line.dump();
    }
  }
}

TEST_F(StationTest, JsonEventsOfOneUnitParseAndEndWithTheOutcome) {
  auto sim = Sim("sim0");
  const auto image = Image(300);
  const CliResult cli = RunCli({"--json", "--port", "sim0", image.string()}, dir_.path());
  ASSERT_EQ(sim->Stop(), 0);
  ASSERT_EQ(cli.exit_status, 0) << cli.stderr_text;

  const std::vector<json> events = JsonLines(cli.stdout_lines);
  ASSERT_FALSE(events.empty());
  std::vector<std::string> status_lines;
  std::vector<std::string> phases;
  int progress = 0;
  for (const json& event : events) {
    ASSERT_TRUE(event.contains("time")) << event.dump();
    const std::string kind = event.at("event");
    if (kind == "status") status_lines.push_back(event.at("line"));
    if (kind == "phase") phases.push_back(event.at("phase"));
    if (kind == "progress") {
      ++progress;
      EXPECT_EQ(event.at("blocks_total"), 13);
      EXPECT_EQ(event.at("bytes_total"), 300);
    }
  }
  // The status display, line for line, as the plain output has it.
  EXPECT_THAT(status_lines, ::testing::Contains("Programming Complete"));
  EXPECT_THAT(status_lines, ::testing::Contains("Device Reset"));
  EXPECT_EQ(phases,
            (std::vector<std::string>{"opening", "capture", "erase", "program", "reset", "ended"}));
  EXPECT_GE(progress, 1);
  const json& outcome = events.back();
  EXPECT_EQ(outcome.at("event"), "outcome");
  EXPECT_EQ(outcome.at("ending"), "programmed");
  EXPECT_EQ(outcome.at("exit_status"), 0);
  EXPECT_EQ(outcome.at("target_id"), "1A2B");
  EXPECT_EQ(outcome.at("blocks_sent"), 13);
  EXPECT_EQ(outcome.at("image_size"), 300);
  EXPECT_EQ(outcome.at("image_path"), image.string());
  EXPECT_EQ(outcome.at("image_sha256").get<std::string>().size(), 64u);
  EXPECT_GT(outcome.at("elapsed_ms").get<int64_t>(), 0);
}

TEST_F(StationTest, StationProgramsTheNextUnitOnTheSamePortAndCountsBoth) {
  // The fixture gets a second unit 300 ms after the first answered its
  // reset, and no third.
  auto sim = Sim("fixture", {"--next-unit-after", "300", "--units", "2"});
  const auto image = Image(240);
  ChildProcess station(
      QUARNEL_CLI, {"--station", "--port", "fixture", "--log", LogPath().string(), image.string()},
      dir_.path(), dir_.path(), "station");
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(LogPath()) && ReadLog(LogPath()).size() >= 2) break;
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_EQ(ReadLog(LogPath()).size(), 2u) << station.Stdout() << station.Stderr();
  // The third child waits for a unit that does not come; Ctrl-C ends it.
  ASSERT_TRUE(station.WaitForStdout(
      [](const std::string& out) {
        return std::count(out.begin(), out.end(), '\n') > 0 &&
               out.rfind("fixture: phase capture") > out.rfind("fixture: phase ended");
      },
      10s));
  station.Signal(SIGINT);
  const auto status = station.WaitForExit(20s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0) << station.Stdout() << station.Stderr();
  ASSERT_EQ(sim->Stop(), 0);

  EXPECT_EQ(sim->ReceivedImage(), PaddedToBlocks(image_));
  for (const json& line : ReadLog(LogPath())) EXPECT_EQ(line.at("outcome"), "programmed");
  EXPECT_THAT(station.Stdout(), HasSubstr("2 passed, 0 failed"));
  // Each unit got the whole sequence: two captures answered, two resets.
  const auto records = sim->ReceivedRecords();
  EXPECT_EQ(CountIf(records, [](const std::string& r) { return CommandCode(r) == 9; }), 2);
  EXPECT_TRUE(ProcessesNaming(dir_.path().string()).empty());
}

TEST_F(StationTest, CtrlCStopsEveryChildAndLeavesNoneBehind) {
  // Units that never come: both ports wait in the capture.
  auto a = Sim("fixture-a", {"--power-on-after", "600000"});
  auto b = Sim("fixture-b", {"--power-on-after", "600000"});
  const auto image = Image(240);
  ChildProcess cli(QUARNEL_CLI,
                   {"--json", "--port", "fixture-a", "--port", "fixture-b", image.string()},
                   dir_.path(), dir_.path(), "cli");
  ASSERT_TRUE(cli.WaitForStdout(
      [](const std::string& out) {
        return out.find(R"("phase":"capture","port":"fixture-a")") != out.npos &&
               out.find(R"("phase":"capture","port":"fixture-b")") != out.npos;
      },
      20s))
      << cli.Stdout();
  const auto started = std::chrono::steady_clock::now();
  cli.Signal(SIGINT);
  const auto status = cli.WaitForExit(20s);
  ASSERT_TRUE(status.has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_EQ(*status, 130);
  const std::vector<json> events = JsonLines(SplitLines(cli.Stdout()));
  ASSERT_FALSE(events.empty());
  const json& summary = events.back();
  EXPECT_EQ(summary.at("event"), "summary");
  ASSERT_EQ(summary.at("units").size(), 2u);
  for (const json& unit : summary.at("units")) {
    EXPECT_EQ(unit.at("ending"), "stopped_by_operator");
    EXPECT_EQ(unit.at("exit_status"), 130);
  }
  EXPECT_TRUE(ProcessesNaming(dir_.path().string()).empty());
  // The ports were closed cleanly: another run can use them at once.
  EXPECT_EQ(a->Stop(), 0);
  EXPECT_EQ(b->Stop(), 0);
}

TEST_F(StationTest, ChildrenDoNotOutliveASupervisorThatWasKilled) {
  auto a = Sim("fixture-a", {"--power-on-after", "600000"});
  auto b = Sim("fixture-b", {"--power-on-after", "600000"});
  const auto image = Image(240);
  ChildProcess cli(
      QUARNEL_CLI,
      {"--json", "--station", "--port", "fixture-a", "--port", "fixture-b", image.string()},
      dir_.path(), dir_.path(), "cli");
  ASSERT_TRUE(cli.WaitForStdout(
      [](const std::string& out) {
        return out.find(R"("phase":"capture","port":"fixture-a")") != out.npos &&
               out.find(R"("phase":"capture","port":"fixture-b")") != out.npos;
      },
      20s))
      << cli.Stdout();
  cli.Signal(SIGKILL);  // no chance to stop its children
  ASSERT_TRUE(cli.WaitForExit(5s).has_value());
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!ProcessesNaming(dir_.path().string()).empty() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(ProcessesNaming(dir_.path().string()).empty());
  EXPECT_EQ(a->Stop(), 0);
  EXPECT_EQ(b->Stop(), 0);
}

TEST_F(StationTest, APortGivenTwiceIsReportedAloneAndTheOtherGoesOn) {
  auto sim = Sim("fixture-a");
  const auto image = Image(240);
  const CliResult cli =
      RunCli({"--port", "fixture-a", "--port", sim->port(), image.string()}, dir_.path());
  ASSERT_EQ(sim->Stop(), 0);
  EXPECT_EQ(cli.exit_status, 3) << cli.stderr_text;
  EXPECT_EQ(sim->ReceivedImage(), PaddedToBlocks(image_));
  EXPECT_THAT(testing::PrintToString(cli.stdout_lines), HasSubstr("was given twice"));
  // One unit programmed, once.
  EXPECT_EQ(
      CountIf(sim->ReceivedRecords(), [](const std::string& r) { return CommandCode(r) == 6; }), 1);
}

TEST_F(StationTest, AnUnwritableLogStopsTheRunBeforeAnythingIsErased) {
  auto sim = Sim("sim0");
  const auto image = Image(240);
  const std::string log = (dir_.path() / "no-such-dir" / "units.log").string();
  for (const std::vector<std::string>& ports :
       {std::vector<std::string>{"--port", "sim0"},
        std::vector<std::string>{"--port", "sim0", "--port", "sim0", "--station"}}) {
    std::vector<std::string> args = ports;
    args.insert(args.end(), {"--log", log, image.string()});
    const CliResult cli = RunCli(args, dir_.path());
    EXPECT_EQ(cli.exit_status, 3);
    EXPECT_THAT(cli.stderr_text, HasSubstr("cannot write the unit log " + log));
  }
  ASSERT_EQ(sim->Stop(), 0);
  EXPECT_TRUE(sim->ReceivedRecords().empty());
}

TEST_F(StationTest, VersionPrintsThePackageVersion) {
  const CliResult cli = RunCli({"--version"}, dir_.path());
  EXPECT_EQ(cli.exit_status, 0);
  EXPECT_EQ(cli.stdout_lines,
            std::vector<std::string>{std::string("quarnel-cli ") + quarnel::kVersion});
  const CliResult help = RunCli({"--help"}, dir_.path());
  EXPECT_THAT(testing::PrintToString(help.stdout_lines), HasSubstr("--version"));
}

}  // namespace
}  // namespace e2e
