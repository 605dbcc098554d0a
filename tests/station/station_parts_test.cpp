// The parts of a supervised run that need no simulator: the port list, the
// unit log's lines and their atomic appends, the supervisor's queue and its
// children's readers, and what the operator sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "app/cli/cli_options.h"
#include "app/cli/live_view.h"
#include "station/child_runner.h"
#include "station/station_ports.h"
#include "station/unit_log.h"
#include "station/unit_result.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace quarnel::cli {
namespace {

using station::ChildEnded;
using station::ChildLine;
using station::ChildRunner;
using station::FormatUnitLogLine;
using station::ParsePortsFile;
using station::PlanPorts;
using station::PortIdentity;
using station::RecordContext;
using station::StopRequest;
using station::SupervisorInput;
using station::SupervisorQueue;
using station::UnitLog;
using station::UnitLogEntry;
using station::UnitResult;

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using json = nlohmann::json;
using namespace std::chrono_literals;

TEST(StationCommandLine, SeveralPortsStationLogAndJson) {
  const auto parsed = ParseCommandLine(
      {"--port", "a", "--port", "b", "--station", "--log", "units.log", "--json", "image.cry"});
  const auto* request = std::get_if<ProgramRequest>(&parsed);
  ASSERT_NE(request, nullptr);
  EXPECT_THAT(request->ports, ElementsAre("a", "b"));
  EXPECT_TRUE(request->station);
  EXPECT_TRUE(request->json);
  EXPECT_EQ(request->log, "units.log");
  EXPECT_TRUE(request->Supervised());

  const auto one = std::get<ProgramRequest>(ParseCommandLine({"--port", "a", "image.cry"}));
  EXPECT_FALSE(one.Supervised());
  EXPECT_TRUE(
      std::get<ProgramRequest>(ParseCommandLine({"--ports-from", "p.txt", "i.cry"})).Supervised());
  EXPECT_TRUE(std::holds_alternative<VersionRequest>(ParseCommandLine({"--version", "--bogus"})));
  EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine({"--log", "", "-p", "a", "i"})));
  EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine({"--station", "i.cry"})));
}

TEST(StationPorts, FileListsOnePortALineWithoutBlanksOrComments) {
  EXPECT_THAT(ParsePortsFile("# fixtures\n/dev/ttyUSB0\n\n  sim1\t\r\n#sim2\nCOM3"),
              ElementsAre("/dev/ttyUSB0", "sim1", "COM3"));
}

TEST(StationPorts, ANameForADeviceAlreadyGivenIsMarkedWithTheFirst) {
  // "ttyUSB0" and "/dev/ttyUSB0" are one device.
  const auto identity = [](const std::string& name) {
    return name.starts_with("/dev/") ? name : "/dev/" + name;
  };
  const auto plan = PlanPorts({"/dev/ttyUSB0", "ttyUSB1", "ttyUSB0", "ttyUSB1"}, identity);
  ASSERT_EQ(plan.size(), 4u);
  EXPECT_FALSE(plan[0].duplicate_of);
  EXPECT_FALSE(plan[1].duplicate_of);
  EXPECT_EQ(plan[2].duplicate_of, 0u);
  EXPECT_EQ(plan[3].duplicate_of, 1u);
}

TEST(StationPorts, IdentityFollowsLinksToTheDevice) {
  testsupport::TempDir dir;
  const auto device = dir.path() / "device";
  testsupport::WriteBytes(device, {1});
  std::filesystem::create_symlink(device, dir.path() / "by-id-link");
  EXPECT_EQ(PortIdentity((dir.path() / "by-id-link").string()), PortIdentity(device.string()));
}

UnitResult Programmed() {
  UnitResult result;
  result.ending = SequenceEnding::kProgrammed;
  result.port = "sim0";
  result.target_id = "1A2B";
  result.status = 0x4010;
  result.blocks_sent = 42;
  result.blocks_total = 42;
  result.retransmissions = 3;
  result.image_path = "/images/a.cry";
  result.image_size = 1000;
  result.image_sha256 = std::string(64, 'a');
  result.elapsed_ms = 9000;
  result.unit_elapsed_ms = 4000;
  result.reason = "programming complete";
  return result;
}

RecordContext Context() {
  return {"line 3", "ana", station::RecipeRef{"/srv/bench.toml", std::string(64, 'b')},
          "0123456789abcdef0123456789abcdef", "line3-pc"};
}

TEST(UnitLogLines, CarryTheUnitsTimesDetailsAndWhoAndWhere) {
  testsupport::TempDir dir;
  station::UnitLog log((dir.path() / "units.log").string(), Context());
  const auto end = std::chrono::system_clock::time_point(std::chrono::seconds(1'765'252'800));
  UnitResult unit = Programmed();
  unit.unit_id = "SN-0042";
  const UnitLogEntry entry = log.Entry(unit, "A", "fixture-3", "/images/a.cry", end);
  const std::string text = log.Line(entry);
  ASSERT_TRUE(text.ends_with("\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  const json line = json::parse(text);
  // It started when the target answered the capture: 4 s before the end.
  EXPECT_EQ(line.at("start_utc"), "2025-12-09T03:59:56.000Z");
  EXPECT_EQ(line.at("end_utc"), "2025-12-09T04:00:00.000Z");
  EXPECT_EQ(line.at("duration_s"), 4.0);
  EXPECT_THAT(line.at("start_local").get<std::string>(),
              ::testing::MatchesRegex(R"(....-..-..T..:..:..\.000[-+]....)"));
  EXPECT_EQ(line.at("port"), "fixture-3");
  EXPECT_EQ(line.at("outcome"), "programmed");
  EXPECT_EQ(line.at("blocks"), 42);
  EXPECT_EQ(line.at("retransmissions"), 3);
  EXPECT_EQ(line.at("image"), "/images/a.cry");
  EXPECT_EQ(line.at("host"), "line3-pc");
  EXPECT_EQ(line.at("schema"), "quarnel.unit/1");
  EXPECT_EQ(line.at("station"), "line 3");
  EXPECT_EQ(line.at("slot"), "A");
  EXPECT_EQ(line.at("operator"), "ana");
  EXPECT_EQ(line.at("unit_id"), "SN-0042");
  EXPECT_EQ(line.at("recipe").at("path"), "/srv/bench.toml");
  EXPECT_EQ(line.at("run_id"), "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(line.at("sequence"), 1);
  EXPECT_EQ(line.at("reason"), "programming complete");
  // Numbered in the order they are made, so that a lost record leaves a gap.
  EXPECT_EQ(log.Entry(unit, "B", "fixture-4", "/images/a.cry", end).sequence, 2u);
  // Without a unit ID or a recipe the fields are there, empty.
  unit.unit_id.reset();
  RecordContext bare = Context();
  bare.recipe.reset();
  const json plain =
      json::parse(station::FormatUnitLogLine(bare, log.Entry(unit, "A", "p", "i", end)));
  EXPECT_TRUE(plain.at("unit_id").is_null());
  EXPECT_TRUE(plain.at("recipe").is_null());
  // Two runs never share an ID.
  EXPECT_NE(station::NewRunId(), station::NewRunId());
  EXPECT_EQ(station::NewRunId().size(), 32u);
}

TEST(UnitLogFile, IsCreatedAndAppendedToAndNamesAFileItCannotWrite) {
  testsupport::TempDir dir;
  const auto path = dir.path() / "units.log";
  testsupport::WriteBytes(path, {'o', 'l', 'd', '\n'});
  {
    UnitLog log(path.string(), Context());
    std::string error;
    ASSERT_TRUE(log.Write(log.Entry(Programmed(), "A", "a", "i", {}), error)) << error;
  }
  const auto lines = testsupport::SplitLines(testsupport::ReadText(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "old");
  EXPECT_EQ(json::parse(lines[1]).at("port"), "a");

  try {
    UnitLog unwritable((dir.path() / "missing" / "units.log").string(), Context());
    FAIL() << "a log in a missing directory was opened";
  } catch (const std::runtime_error& error) {
    EXPECT_THAT(error.what(), HasSubstr("cannot write the unit log"));
    EXPECT_THAT(error.what(), HasSubstr("nothing was erased"));
  }
}

TEST(UnitLogFile, WritersSharingTheFileNeverMixTheirLines) {
  testsupport::TempDir dir;
  const auto path = (dir.path() / "shared.log").string();
  constexpr int kWriters = 6;
  constexpr int kLines = 150;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&path, w] {
      UnitLog log(path, Context());  // each with a file of its own, as separate processes have
      UnitResult result = Programmed();
      result.reason = std::string(3000, static_cast<char>('a' + w));  // long lines
      for (int i = 0; i < kLines; ++i) {
        result.blocks_sent = i;
        UnitLogEntry entry = log.Entry(result, "A", "port" + std::to_string(w), "i", {});
        entry.image_path = result.reason;
        std::string error;
        EXPECT_TRUE(log.Write(entry, error)) << error;
      }
    });
  }
  for (auto& writer : writers) writer.join();
  const auto lines = testsupport::SplitLines(testsupport::ReadText(path));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kWriters * kLines));
  for (const auto& line : lines) {
    const json parsed = json::parse(line, nullptr, false);
    ASSERT_FALSE(parsed.is_discarded()) << line.substr(0, 80);
    const std::string image = parsed.at("image");
    EXPECT_EQ(image.find_first_not_of(image[0]), std::string::npos);
  }
}

TEST(SupervisorQueue, HandsOverInputInOrderAndWaitsNoLongerThanItsDeadline) {
  SupervisorQueue queue;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(queue.Wait(start + 50ms).empty());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);

  std::atomic<int> posted{0};
  queue.SetOnPost([&posted] { ++posted; });
  std::thread poster([&queue] {
    for (int i = 0; i < 100; ++i) queue.Post(ChildLine{0, 1, true, std::to_string(i), {}, {}});
    queue.Post(ChildEnded{0, 1, 7});
  });
  std::vector<SupervisorInput> seen;
  while (seen.empty() || !std::holds_alternative<ChildEnded>(seen.back())) {
    for (auto& input : queue.Wait(std::nullopt)) seen.push_back(std::move(input));
  }
  poster.join();
  ASSERT_EQ(seen.size(), 101u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(std::get<ChildLine>(seen[static_cast<size_t>(i)]).text, std::to_string(i));
  }
  EXPECT_EQ(std::get<ChildEnded>(seen.back()).exit_status, 7);
  // A front end driven by another loop is woken once per post.
  EXPECT_EQ(posted.load(), 101);
  queue.Post(StopRequest{2});
  ASSERT_EQ(queue.Take().size(), 1u);
  EXPECT_TRUE(queue.Take().empty());
}

TEST(SupervisorRunner, HandsOnAChildsLinesReadAsEventsAndThenItsEnd) {
  SupervisorQueue queue;
  {
    // A phase event written in two pieces, a line that is no event, a line on stderr.
    ChildRunner runner(queue, 2, 5, "/bin/sh",
                       {"-c",
                        "printf '{\"event\":\"phase\",\"phase\":\"era'; sleep 0.1; "
                        "printf 'se\",\"time\":\"2026-12-09T04:05:06.789Z\"}\nplain\n'; "
                        "echo oops >&2; exit 4"});
    std::vector<SupervisorInput> seen;
    while (seen.empty() || !std::holds_alternative<ChildEnded>(seen.back())) {
      for (auto& input : queue.Wait(std::chrono::steady_clock::now() + 10s)) {
        seen.push_back(std::move(input));
      }
    }
    std::vector<ChildLine> output;
    std::vector<std::string> errors;
    for (const auto& input : seen) {
      if (const auto* line = std::get_if<ChildLine>(&input)) {
        EXPECT_EQ(line->slot, 2u);
        EXPECT_EQ(line->run, 5u);
        if (line->error_stream) {
          errors.push_back(line->text);
        } else {
          output.push_back(*line);
        }
      }
    }
    ASSERT_EQ(output.size(), 2u);
    ASSERT_TRUE(output[0].event.has_value());
    EXPECT_EQ(std::get<station::PhaseEvent>(output[0].event->event).phase, SequencePhase::kErase);
    EXPECT_FALSE(output[1].event.has_value());
    EXPECT_EQ(output[1].text, "plain");
    EXPECT_FALSE(output[1].unreadable.empty());
    EXPECT_THAT(errors, ElementsAre("oops"));
    const auto& ended = std::get<ChildEnded>(seen.back());
    EXPECT_EQ(ended.exit_status, 4);
    EXPECT_EQ(ended.slot, 2u);
  }
  // A child that does not end by itself is ended with its runner.
  const auto start = std::chrono::steady_clock::now();
  { ChildRunner runner(queue, 0, 1, "/bin/sleep", {"30"}); }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// A starved system (a process or cgroup limit) cannot give the supervisor
// the threads that watch a child: that child is ended, and the port alone
// fails, instead of the whole station aborting.
TEST(SupervisorRunner, AChildWhoseWatchersCannotStartIsEndedAndSaysWhy) {
  SupervisorQueue queue;
  int started = 0;
  const station::ThreadStarter starved = [&started](std::function<void()> body) {
    if (++started == 2) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              "thread");
    }
    return std::thread(std::move(body));
  };
  const auto start = std::chrono::steady_clock::now();
  try {
    ChildRunner runner(queue, 0, 1, "/bin/sleep", {"30"}, starved);
    FAIL() << "the runner started without its second watcher";
  } catch (const std::system_error& error) {
    EXPECT_THAT(error.what(), HasSubstr("could not start the threads that watch it"));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the child was ended, not waited for";
}

TEST(OperatorView, LiveLinesShowPhasePercentRateAndCounts) {
  PortView view;
  view.port = "sim0";
  view.phase = "program";
  view.percent = 45;
  view.bytes_per_s = 650;
  EXPECT_EQ(FormatLiveLine(view, 8), "sim0      program                 45%   650 B/s");
  view.station = true;
  view.passed = 3;
  view.failed = 1;
  EXPECT_THAT(FormatLiveLine(view, 8), ::testing::EndsWith("passed 3 failed 1"));

  LiveView live;
  std::string out = live.Draw({"a", "b"});
  out += live.PrintAbove("note");
  out += live.Draw({"a2", "b2"});
  // Each redraw goes back up over the two lines drawn before.
  EXPECT_EQ(out,
            "a\x1b[K\nb\x1b[K\n"
            "\r\x1b[2A\x1b[Jnote\na\x1b[K\nb\x1b[K\n"
            "\r\x1b[2A\x1b[Ja2\x1b[K\nb2\x1b[K\n");
}

// A live line that fills the terminal would wrap, and its redraw would leave
// the wrapped part behind: every line fits, whatever the width is now.
TEST(OperatorView, LiveLinesFitTheTerminalsWidthInWholeCharacters) {
  EXPECT_EQ(FitToColumns("sim0  program  45%", 10), "sim0  pro");
  EXPECT_EQ(FitToColumns("short", 80), "short");
  EXPECT_EQ(FitToColumns("short", std::nullopt), "short");
  // "Prüfplatz" has a two-byte character, which is not cut in half.
  EXPECT_EQ(FitToColumns("Prüfplatz 7", 4), "Prü");
  EXPECT_EQ(FitToColumns("abc", 1), "a");
}

TEST(OperatorView, SummaryTableAlignsItsColumns) {
  const std::string table = FormatSummary({{"/dev/ttyUSB0", "1A2B", "programmed", 101.25},
                                           {"sim1", "", "could_not_start", std::nullopt}});
  EXPECT_EQ(table,
            "PORT          TARGET  OUTCOME          TIME\n"
            "/dev/ttyUSB0  1A2B    programmed       101.2 s\n"
            "sim1          -       could_not_start  -\n");
}

}  // namespace
}  // namespace quarnel::cli
