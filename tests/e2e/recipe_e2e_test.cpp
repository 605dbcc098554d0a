// A station run from a station file, against simulated targets: the right
// image into the right units, every unit with a versioned record that a
// factory can trace, and the log's summary.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "e2e/e2e_support.h"
#include "operations/sha256.h"

namespace e2e {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using json = nlohmann::json;

class RecipeTest : public ::testing::Test {
 protected:
  RecipeTest() {
    image_ = MakeImage(500, 29);
    std::filesystem::create_directory(dir_.path() / "firmware");
    WriteBytes(dir_.path() / "firmware" / "unit.cry", image_);
  }
  std::string ImageHash() const { return quarnel::Sha256Hex(image_); }
  std::unique_ptr<Simulator> Sim(const std::string& name, std::vector<std::string> args = {}) {
    args.insert(args.end(), {"--erase-ms", "10"});
    return std::make_unique<Simulator>(dir_.path(), args, Simulator::Named(name));
  }
  // A station file beside the image: slots A, B, C on fixture-a, -b, -c.
  std::filesystem::path Recipe(const std::string& extra, const std::string& hash, int slots = 3) {
    const auto path = dir_.path() / "bench.toml";
    std::ofstream file(path);
    file << "station = \"line 3, bench 2\"\nimage = \"firmware/unit.cry\"\nimage_sha256 = \""
         << hash << "\"\nlog = \"units.log\"\n"
         << extra;
    for (int i = 0; i < slots; ++i) {
      const char letter = static_cast<char>('a' + i);
      file << "[[slot]]\nname = \"" << static_cast<char>('A' + i) << "\"\nport = \"fixture-"
           << letter << "\"\n";
    }
    return path;
  }
  std::vector<json> Log() const {
    std::vector<json> lines;
    for (const std::string& line : SplitLines(testsupport::ReadText(dir_.path() / "units.log"))) {
      lines.push_back(json::parse(line));
    }
    return lines;
  }
  // Every line of `file` passes the JSON Schema `schema` of docs/schema/.
  static void ExpectValid(const std::string& schema, const std::filesystem::path& file) {
    const std::string command = std::string(QUARNEL_PYTHON) + " '" + QUARNEL_SOURCE_DIR +
                                "/tests/e2e/validate_json_lines.py' '" + QUARNEL_SOURCE_DIR +
                                "/docs/schema/" + schema + "' '" + file.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }

  TempDir dir_;
  std::vector<uint8_t> image_;
};

TEST_F(RecipeTest, ThreeSlotsProgramThreeUnitsWithRecordsThatValidateAndSummarize) {
  auto a = Sim("fixture-a");
  auto b = Sim("fixture-b");
  auto c = Sim("fixture-c");
  const auto recipe = Recipe("", ImageHash());
  const CliResult cli =
      RunCli({"--recipe", recipe.string(), "--json", "--operator", "ana"}, dir_.path());
  for (auto* sim : {a.get(), b.get(), c.get()}) ASSERT_EQ(sim->Stop(), 0);
  ASSERT_EQ(cli.exit_status, 0) << cli.stderr_text;
  for (auto* sim : {a.get(), b.get(), c.get()}) {
    EXPECT_EQ(sim->ReceivedImage(), PaddedToBlocks(image_)) << sim->Log();
  }

  const std::vector<json> log = Log();
  ASSERT_EQ(log.size(), 3u);
  std::set<std::string> slots;
  std::set<uint64_t> numbers;
  for (const json& line : log) {
    slots.insert(line.at("slot").get<std::string>());
    numbers.insert(line.at("sequence").get<uint64_t>());
    EXPECT_EQ(line.at("station"), "line 3, bench 2");
    EXPECT_EQ(line.at("operator"), "ana");
    EXPECT_EQ(line.at("recipe").at("path"), recipe.string());
    EXPECT_EQ(line.at("run_id"), log[0].at("run_id"));
    EXPECT_EQ(line.at("image_sha256"), ImageHash());
  }
  EXPECT_EQ(slots, (std::set<std::string>{"A", "B", "C"}));
  EXPECT_EQ(numbers, (std::set<uint64_t>{1, 2, 3}));

  const auto events = dir_.path() / "events.jsonl";
  {
    std::ofstream file(events);
    for (const std::string& line : cli.stdout_lines) file << line << '\n';
  }
  ExpectValid("quarnel.event-1.schema.json", events);
  ExpectValid("quarnel.unit-1.schema.json", dir_.path() / "units.log");

  const CliResult summary =
      RunCli({"--summarize", (dir_.path() / "units.log").string(), "--csv"}, dir_.path());
  ASSERT_EQ(summary.exit_status, 0) << summary.stderr_text;
  ASSERT_EQ(summary.stdout_lines.size(), 4u);  // the heading and a line per slot
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_THAT(summary.stdout_lines[i], HasSubstr("," + ImageHash() + ","));
    EXPECT_THAT(summary.stdout_lines[i], HasSubstr(",1,0,100.0,"));
  }
}

TEST_F(RecipeTest, AnImageWithAnotherHashIsRefusedBeforeAnyPortOpens) {
  auto a = Sim("fixture-a");
  const std::string pinned(64, 'e');
  const CliResult cli = RunCli({"--recipe", Recipe("", pinned, 1).string()}, dir_.path());
  ASSERT_EQ(a->Stop(), 0);
  EXPECT_EQ(cli.exit_status, 3);
  EXPECT_THAT(cli.stderr_text, HasSubstr(ImageHash()));
  EXPECT_THAT(cli.stderr_text, HasSubstr(pinned));
  EXPECT_TRUE(a->ReceivedRecords().empty()) << a->Log();
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "units.log") &&
               !testsupport::ReadText(dir_.path() / "units.log").empty());
}

// A unit that is not one of those allowed is captured, reset and left as it
// was; the other slots go on.
TEST_F(RecipeTest, AUnitNotAllowedIsResetNotErasedWhileTheOthersPass) {
  auto a = Sim("fixture-a");
  auto b = Sim("fixture-b", {"--id", "00C7"});
  const CliResult cli = RunCli(
      {"--recipe", Recipe("target_ids = [\"1A2B\"]\n", ImageHash(), 2).string()}, dir_.path());
  ASSERT_EQ(a->Stop(), 0);
  ASSERT_EQ(b->Stop(), 0);
  EXPECT_EQ(cli.exit_status, 8) << cli.stderr_text;
  EXPECT_EQ(a->ReceivedImage(), PaddedToBlocks(image_));
  const auto records = b->ReceivedRecords();
  ASSERT_FALSE(records.empty()) << b->Log();
  for (const std::string& record : records) {
    EXPECT_FALSE(IsDataRecord(record)) << record;
    const int code = CommandCode(record);
    EXPECT_TRUE(code == 3 || code == 9) << "no erase: " << record;
  }
  EXPECT_THAT(CommandCode(records.back()), 9) << "the unit was reset out of its loader";
  bool found = false;
  for (const json& line : Log()) {
    if (line.at("slot") != "B") continue;
    found = true;
    EXPECT_EQ(line.at("outcome"), "wrong_target");
    EXPECT_EQ(line.at("exit_status"), 8);
    EXPECT_EQ(line.at("target_id"), "00C7");
    EXPECT_THAT(line.at("reason").get<std::string>(), HasSubstr("1A2B"));
  }
  EXPECT_TRUE(found);
}

TEST_F(RecipeTest, AStationStopsAfterItsQuotaOfProgrammedUnits) {
  auto a = Sim("fixture-a", {"--next-unit-after", "300"});
  const CliResult cli = RunCli(
      {"--recipe", Recipe("", ImageHash(), 1).string(), "--station", "--units", "2"}, dir_.path());
  a->Stop();
  EXPECT_EQ(cli.exit_status, 0) << cli.stderr_text;
  EXPECT_THAT(cli.stderr_text, HasSubstr("programmed its 2 units"));
  const std::vector<json> log = Log();
  ASSERT_EQ(log.size(), 2u);
  for (const json& line : log) EXPECT_EQ(line.at("outcome"), "programmed");
}

TEST_F(RecipeTest, AFaultInTheFileStopsEverythingWithItsLineAndKey) {
  auto a = Sim("fixture-a");
  const auto path = dir_.path() / "broken.toml";
  {
    std::ofstream file(path);
    file << "image = \"firmware/unit.cry\"\n[[slot]]\nname = \"A\"\nport = \"fixture-a\"\n";
  }
  const CliResult cli = RunCli({"--recipe", path.string()}, dir_.path());
  ASSERT_EQ(a->Stop(), 0);
  EXPECT_EQ(cli.exit_status, 2);
  EXPECT_THAT(cli.stderr_text, HasSubstr(path.string() + ":1: image_sha256: missing"));
  EXPECT_TRUE(a->ReceivedRecords().empty());
}

// A slot names a place; its adapter may be plugged in after the station
// started: the slot waits for it, without polling, and programs the unit.
TEST_F(RecipeTest, ASlotWhoseAdapterComesLateIsWaitedForAndProgrammed) {
  auto a = Sim("fixture-a");
  ChildProcess station(QUARNEL_CLI, {"--recipe", Recipe("", ImageHash(), 2).string(), "--json"},
                       dir_.path(), dir_.path(), "station");
  ASSERT_TRUE(station.WaitForStdout(
      [](const std::string& out) {
        return out.find("\"phase\":\"waiting_for_adapter\"") != std::string::npos;
      },
      std::chrono::seconds(20)))
      << station.Stdout() << station.Stderr();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  auto b = Sim("fixture-b");
  const auto status = station.WaitForExit(std::chrono::seconds(60));
  ASSERT_TRUE(status.has_value()) << station.Stderr();
  EXPECT_EQ(*status, 0) << station.Stderr();
  ASSERT_EQ(a->Stop(), 0);
  ASSERT_EQ(b->Stop(), 0);
  EXPECT_EQ(b->ReceivedImage(), PaddedToBlocks(image_)) << b->Log();
  EXPECT_EQ(Log().size(), 2u);
}

// In a station, an adapter unplugged in the middle of a unit fails that
// unit (status 7 in its record); the slot then waits for the adapter, and
// the next unit on it is programmed.
TEST_F(RecipeTest, AnAdapterLostMidUnitFailsItsUnitAndTheSlotGoesOnWhenItIsBack) {
  auto first = Sim("fixture-a", {"--hang-up-after", "5"});
  ChildProcess station(QUARNEL_CLI, {"--recipe", Recipe("", ImageHash(), 1).string(), "--station"},
                       dir_.path(), dir_.path(), "station");
  EXPECT_EQ(first->WaitForExit(std::chrono::seconds(30)), 0) << first->Log();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline &&
         !(std::filesystem::exists(dir_.path() / "units.log") && Log().size() >= 1)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // Plugged in again: the same name, a new unit that goes off after its reset.
  auto again = Sim("fixture-a", {"--next-unit-after", "600000"});
  while (std::chrono::steady_clock::now() < deadline + std::chrono::seconds(30) &&
         Log().size() < 2) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  station.Signal(SIGINT);
  const auto status = station.WaitForExit(std::chrono::seconds(20));
  ASSERT_TRUE(status.has_value());
  again->Stop();
  const std::vector<json> log = Log();
  ASSERT_EQ(log.size(), 2u) << station.Stdout() << station.Stderr();
  EXPECT_EQ(log[0].at("outcome"), "port_lost");
  EXPECT_EQ(log[0].at("exit_status"), 7);
  EXPECT_EQ(log[1].at("outcome"), "programmed");
  EXPECT_EQ(log[1].at("slot"), "A");
  EXPECT_EQ(again->ReceivedImage(), PaddedToBlocks(image_));
  EXPECT_EQ(*status, 7) << "the failed unit's status";
}

}  // namespace
}  // namespace e2e
