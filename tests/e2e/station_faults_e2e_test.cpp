// A station in the accidents of a production line, against simulated
// targets: a log that fills, a file named twice, special files, a closed
// terminal, a reader that stalls. No unit without a record, nothing left
// behind, no hang.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/e2e_support.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using json = nlohmann::json;
using namespace std::chrono_literals;

class StationFaultsTest : public ::testing::Test {
 protected:
  StationFaultsTest() {
    image_ = MakeImage(480, 7);
    WriteBytes(ImagePath(), image_);
  }
  std::filesystem::path ImagePath() const { return dir_.path() / "firmware.cry"; }
  std::filesystem::path LogPath() const { return dir_.path() / "units.log"; }
  std::unique_ptr<Simulator> Sim(const std::string& name, std::vector<std::string> args = {}) {
    args.insert(args.end(), {"--erase-ms", "10"});
    return std::make_unique<Simulator>(dir_.path(), args, Simulator::Named(name));
  }
  // quarnel-cli through the shell, for what a test program cannot arrange
  // itself: `setup` runs first (a limit, a redirection), then the program.
  // `after` follows the program in the shell's command.
  std::unique_ptr<ChildProcess> Station(const std::string& setup,
                                        const std::vector<std::string>& args,
                                        const std::string& after = "") {
    std::vector<std::string> shell{"-c", setup + " \"$0\" \"$@\"" + after, QUARNEL_CLI};
    shell.insert(shell.end(), args.begin(), args.end());
    return std::make_unique<ChildProcess>("/bin/sh", shell, dir_.path(), dir_.path(), "station");
  }
  static std::vector<json> Records(const std::string& text) {
    std::vector<json> records;
    for (const std::string& line : SplitLines(text)) {
      const json record = json::parse(line, nullptr, false);
      if (!record.is_discarded() && record.is_object() && record.contains("schema") &&
          record.at("schema") == "quarnel.unit/1") {
        records.push_back(record);
      }
    }
    return records;
  }
  static int Resets(const Simulator& sim) {
    return CountIf(sim.ReceivedRecords(), [](const std::string& r) { return CommandCode(r) == 9; });
  }

  TempDir dir_;
  std::vector<uint8_t> image_;
};

// The log fills in the middle of a run (a file-size limit gives the short
// write a full disk gives): every programmed unit still has exactly one
// whole record, in the log or on stderr, the station takes no new unit and
// ends by itself with status 3.
TEST_F(StationFaultsTest, AFullLogHoldsRecordsBackAndTheStationTakesNoNewUnit) {
  std::vector<std::unique_ptr<Simulator>> sims;
  for (const char* name : {"fixture-a", "fixture-b", "fixture-c"}) {
    sims.push_back(Sim(name, {"--next-unit-after", "400"}));
  }
  // The limit holds for every file the station writes: its stdout and
  // stderr reach their files through pipes, so that only the log fills.
  const std::string status_file = "'" + (dir_.path() / "station.status").string() + "'";
  auto station =
      Station("trap '' XFSZ; { { prlimit --fsize=1800 --",
              {"--station", "--port", "fixture-a", "--port", "fixture-b", "--port", "fixture-c",
               "--log", LogPath().string(), ImagePath().string()},
              "; echo $? >" + status_file +
                  "; } 2>&1 >&3 3>&- | cat >&2; } 3>&1 | cat; exit \"$(cat " + status_file + ")\"");
  const auto status = station->WaitForExit(90s);
  ASSERT_TRUE(status.has_value()) << "the station went on taking units";
  EXPECT_EQ(*status, 3) << station->Stderr();
  int resets = 0;
  for (auto& sim : sims) {
    sim->Stop();
    resets += Resets(*sim);
  }
  // The log holds whole lines only; what it could not take is on stderr.
  const std::string log_text = testsupport::ReadText(LogPath());
  const auto log = Records(log_text);
  EXPECT_EQ(log.size(), SplitLines(log_text).size()) << log_text;
  const auto held = Records(station->Stderr());
  EXPECT_FALSE(held.empty()) << station->Stderr();
  EXPECT_THAT(station->Stderr(), HasSubstr("the unit log cannot take records"));
  size_t programmed = 0;
  std::set<uint64_t> numbers;
  for (const auto* records : {&log, &held}) {
    for (const json& record : *records) {
      if (record.at("outcome") == "programmed") ++programmed;
      EXPECT_TRUE(numbers.insert(record.at("sequence").get<uint64_t>()).second) << "one each";
    }
  }
  EXPECT_EQ(programmed, static_cast<size_t>(resets)) << log_text << station->Stderr();
}

// A log named like the image would append records to the firmware (and the
// next run would program them): refused before anything is opened.
TEST_F(StationFaultsTest, ALogThatIsTheImageOrTheListIsRefusedBeforeAnythingOpens) {
  auto sim = Sim("fixture-a");
  const auto alias = dir_.path() / "alias.log";
  std::filesystem::create_symlink(ImagePath(), alias);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--port", "fixture-a", "--log", alias.string(), ImagePath().string()},
           {"--port", "fixture-a", "--port", "fixture-b", "--log", alias.string(),
            ImagePath().string()},
           {"--ports-from", ImagePath().string(), ImagePath().string()},
       }) {
    const CliResult cli = RunCli(args, dir_.path());
    EXPECT_EQ(cli.exit_status, 2) << cli.stderr_text;
    EXPECT_THAT(cli.stderr_text, HasSubstr("are one file"));
  }
  ASSERT_EQ(sim->Stop(), 0);
  EXPECT_TRUE(sim->ReceivedRecords().empty());
  EXPECT_EQ(ReadBytes(ImagePath()), image_);
}

TEST_F(StationFaultsTest, SpecialFilesAreRefusedWithoutHanging) {
  const auto fifo = dir_.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--port", "fixture-a", "--log", fifo.string(), ImagePath().string()},
           {"--port", "a", "--port", "b", "--log", fifo.string(), ImagePath().string()},
           {"--ports-from", fifo.string(), ImagePath().string()},
           {"--ports-from", "/dev/zero", ImagePath().string()},
       }) {
    const CliResult cli = RunCli(args, dir_.path(), 10s);
    EXPECT_EQ(cli.exit_status, 3) << ::testing::PrintToString(args) << cli.stderr_text;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

// The terminal window or the SSH session is closed: the units under way get
// their records, and no process and no private copy of the image is left.
TEST_F(StationFaultsTest, AClosedTerminalStopsTheStationWithRecordsAndNothingLeft) {
  image_ = MakeImage(2400, 9);
  WriteBytes(ImagePath(), image_);
  auto busy = Sim("fixture-a", {"--program-ms", "20"});
  auto idle = Sim("fixture-b", {"--power-on-after", "600000"});
  const auto temp = dir_.path() / "tmp";
  std::filesystem::create_directory(temp);
  auto station = Station("TMPDIR='" + temp.string() + "' exec",
                         {"--station", "--port", "fixture-a", "--port", "fixture-b", "--log",
                          LogPath().string(), ImagePath().string()});
  ASSERT_TRUE(station->WaitForStdout(
      [](const std::string& out) { return out.find("fixture-a: phase program") != out.npos; }, 30s))
      << station->Stderr();
  station->Signal(SIGHUP);
  const auto status = station->WaitForExit(20s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 128 + SIGHUP) << station->Stderr();
  busy->Stop();
  idle->Stop();
  const auto log = Records(testsupport::ReadText(LogPath()));
  ASSERT_EQ(log.size(), 1u) << "the unit under way, and no record for the port that waited";
  EXPECT_EQ(log[0].at("slot"), "fixture-a");
  EXPECT_EQ(log[0].at("target_id"), "1A2B");
  EXPECT_NE(log[0].at("outcome"), "programmed");
  EXPECT_TRUE(std::filesystem::is_empty(temp)) << "the private copy is gone";
  std::this_thread::sleep_for(200ms);
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream file(entry.path() / "cmdline", std::ios::binary);
    std::string command((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (command.find(dir_.path().string()) != std::string::npos) {
      EXPECT_NE(command.find("quarnel-target-sim"), std::string::npos) << command;
    }
  }
}

// Nobody reads the station's output (a hung collector, a full pipe): the
// station is not held by it; SIGTERM ends it at once, every record written.
TEST_F(StationFaultsTest, AStationWhoseOutputIsNotReadEndsOnSigtermWithItsRecords) {
  const auto fifo = dir_.path() / "out.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The test holds the reading end open and never reads; the pipe is small.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ::fcntl(reader, F_SETPIPE_SZ, 16384);
  auto a = Sim("fixture-a", {"--next-unit-after", "300"});
  auto b = Sim("fixture-b", {"--next-unit-after", "300"});
  auto station = Station("exec >'" + fifo.string() + "'",
                         {"--station", "--json", "--port", "fixture-a", "--port", "fixture-b",
                          "--log", LogPath().string(), ImagePath().string()});
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  // Units are programmed until the pipe is full; then the station holds.
  while (std::chrono::steady_clock::now() < deadline &&
         (station->Stderr().find("the output is not being read") == std::string::npos ||
          Records(testsupport::ReadText(LogPath())).empty())) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_THAT(station->Stderr(), HasSubstr("the output is not being read"));
  const auto start = std::chrono::steady_clock::now();
  station->Signal(SIGTERM);
  const auto status = station->WaitForExit(10s);
  ASSERT_TRUE(status.has_value()) << "SIGTERM was not served";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  ::close(reader);
  a->Stop();
  b->Stop();
  const std::string text = testsupport::ReadText(LogPath());
  const auto log = Records(text);
  EXPECT_EQ(log.size(), SplitLines(text).size()) << text;
  size_t programmed = 0;
  for (const json& record : log) programmed += record.at("outcome") == "programmed";
  // Every unit that answered its reset has its record as programmed, but
  // for one a slot may have had under way when SIGTERM came (it was stopped
  // before the reset's answer reached it: recorded, as not programmed).
  const auto resets = static_cast<size_t>(Resets(*a) + Resets(*b));
  EXPECT_LE(programmed, resets);
  EXPECT_GE(programmed + 2, resets);
  EXPECT_GE(log.size(), resets);
  EXPECT_GE(programmed, 1u);
}

}  // namespace
}  // namespace e2e
