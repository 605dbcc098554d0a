// The events a port's run writes and a station reads back: whatever one side
// writes, the other reads as the same value, for every kind of event, every
// ending and every phase; what cannot be read says why.
#include "station/child_events.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "station/event_names.h"
#include "station/json_text.h"

namespace quarnel::station {
namespace {

using ::testing::HasSubstr;
using json = nlohmann::json;

const EventTime kTime = EventTime(std::chrono::milliseconds(1'765'252'806'789));

UnitResult Unit(SequenceEnding ending) {
  UnitResult unit;
  unit.ending = ending;
  unit.port = "/dev/ttyUSB0";
  unit.target_id = "1A2B";
  unit.status = 0x4010;
  unit.blocks_sent = 42;
  unit.blocks_total = 167;
  unit.retransmissions = 3;
  unit.image_path = "/images/ünit.cry";
  unit.image_size = 4000;
  unit.image_sha256 = std::string(64, 'c');
  unit.elapsed_ms = 9000;
  unit.unit_elapsed_ms = 4000;
  unit.exit_status = 5;
  unit.reason = "no answer to data record 42 of 167";
  return unit;
}

TimedEvent RoundTrip(const ChildEvent& event) {
  const std::string line = EncodeEvent(event, kTime);
  EXPECT_EQ(line.find('\n'), std::string::npos) << "one event, one line";
  auto read = DecodeEvent(line);
  if (const auto* unreadable = std::get_if<UnreadableEvent>(&read)) {
    ADD_FAILURE() << unreadable->reason << ": " << line;
    return {};
  }
  return std::get<TimedEvent>(read);
}

TEST(ChildEvents, EveryKindOfEventReadsBackAsWritten) {
  ProgressEvent measuring{12, 167, 288, 4000, std::nullopt};
  ProgressEvent measured{167, 167, 4000, 4000, 812};
  const std::vector<ChildEvent> events{StatusEvent{"Erase Target"},
                                       StatusEvent{""},
                                       MessageEvent{"Turn on the power \"now\"\t…"},
                                       PhaseEvent{SequencePhase::kProgram},
                                       measuring,
                                       measured,
                                       OutcomeEvent{Unit(SequenceEnding::kNoAnswerToDataRecord)}};
  for (const ChildEvent& event : events) {
    const TimedEvent read = RoundTrip(event);
    EXPECT_EQ(read.event, event) << EncodeEvent(event, kTime);
    EXPECT_EQ(read.time, kTime);
  }
}

TEST(ChildEvents, EveryEndingAndEveryPhaseKeepsItsValue) {
  std::set<std::string> names;
  for (int i = 0; i < kSequenceEndingCount; ++i) {
    const auto ending = static_cast<SequenceEnding>(i);
    const TimedEvent read = RoundTrip(OutcomeEvent{Unit(ending)});
    EXPECT_EQ(std::get<OutcomeEvent>(read.event).unit.ending, ending) << i;
    names.insert(std::string(EndingName(ending)));
  }
  // No two endings share a name, or one would read back as the other.
  EXPECT_EQ(names.size(), static_cast<size_t>(kSequenceEndingCount));
  names.clear();
  for (int i = 0; i < kSequencePhaseCount; ++i) {
    const auto phase = static_cast<SequencePhase>(i);
    EXPECT_EQ(std::get<PhaseEvent>(RoundTrip(PhaseEvent{phase}).event).phase, phase) << i;
    names.insert(std::string(PhaseName(phase)));
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kSequencePhaseCount));
}

TEST(ChildEvents, AnOutcomeWithoutTargetOrImageKeepsItsEmptyFields) {
  UnitResult unit;
  unit.ending = SequenceEnding::kCouldNotStart;
  unit.exit_status = 3;
  unit.reason = "could not start: the port sim9 was not opened";
  const auto read = std::get<OutcomeEvent>(RoundTrip(OutcomeEvent{unit}).event).unit;
  EXPECT_EQ(read, unit);
  EXPECT_FALSE(read.status.has_value());
  EXPECT_FALSE(read.image_size.has_value());
  EXPECT_FALSE(read.unit_elapsed_ms.has_value());
}

TEST(ChildEvents, TheFieldsAreThoseThatScriptsRead) {
  const json event = json::parse(EncodeEvent(OutcomeEvent{Unit(SequenceEnding::kProgrammed)}, kTime,
                                             EventSource{"sim0", "A"}));
  EXPECT_EQ(event.at("schema"), "quarnel.event/1");
  EXPECT_EQ(event.at("event"), "outcome");
  EXPECT_EQ(event.at("ending"), "programmed");
  EXPECT_EQ(event.at("status"), "4010");
  EXPECT_EQ(event.at("time"), "2025-12-09T04:00:06.789Z");
  // A supervisor names the port and the slot it passes the event on for.
  EXPECT_EQ(event.at("port"), "sim0");
  EXPECT_EQ(event.at("slot"), "A");

  const json summary = json::parse(EncodeSummary({Unit(SequenceEnding::kPortLost)}, 7, kTime));
  EXPECT_EQ(summary.at("event"), "summary");
  EXPECT_EQ(summary.at("schema"), "quarnel.event/1");
  EXPECT_EQ(summary.at("exit_status"), 7);
  EXPECT_EQ(summary.at("time"), "2025-12-09T04:00:06.789Z");
  EXPECT_EQ(summary.at("units").at(0).at("ending"), "port_lost");
}

TEST(ChildEvents, WhatCannotBeReadSaysWhy) {
  const auto reason = [](std::string_view line) {
    const auto read = DecodeEvent(line);
    EXPECT_TRUE(std::holds_alternative<UnreadableEvent>(read)) << line;
    return std::holds_alternative<UnreadableEvent>(read) ? std::get<UnreadableEvent>(read).reason
                                                         : std::string();
  };
  EXPECT_THAT(reason("Programming Complete"), HasSubstr("JSON"));
  EXPECT_THAT(reason(R"({"phase":"erase","time":"2026-12-09T04:05:06.789Z"})"), HasSubstr("event"));
  EXPECT_THAT(reason(R"({"event":"phase","phase":"erase"})"), HasSubstr("time"));
  EXPECT_THAT(reason(R"({"event":"phase","phase":"dancing","time":"2026-12-09T04:05:06.789Z"})"),
              HasSubstr("dancing"));
  EXPECT_THAT(
      reason(R"({"event":"outcome","ending":"teleported","time":"2026-12-09T04:05:06.789Z"})"),
      HasSubstr("teleported"));
  EXPECT_THAT(reason(R"({"event":"progress","blocks_sent":"many","blocks_total":3,)"
                     R"("time":"2026-12-09T04:05:06.789Z"})"),
              HasSubstr("blocks_sent"));
  EXPECT_THAT(reason(R"({"event":"outcome","status":"12345","time":"2026-12-09T04:05:06.789Z"})"),
              HasSubstr("status"));
  EXPECT_THAT(reason(R"({"event":"gossip","time":"2026-12-09T04:05:06.789Z"})"),
              HasSubstr("gossip"));
}

TEST(ChildEvents, AnOutcomeCutShortReadsAsAFailureNotAPass) {
  const auto read = DecodeEvent(R"({"event":"outcome","time":"2026-12-09T04:05:06.789Z"})");
  const UnitResult unit = std::get<OutcomeEvent>(std::get<TimedEvent>(read).event).unit;
  EXPECT_EQ(unit.ending, SequenceEnding::kFailed);
  EXPECT_NE(unit.exit_status, 0);
}

TEST(JsonText, UtcTimesReadBackAndNothingElseDoes) {
  EXPECT_EQ(ParseUtcTimeText(UtcTimeText(kTime)), kTime);
  EXPECT_FALSE(ParseUtcTimeText("2026-13-09T04:05:06.789Z"));
  EXPECT_FALSE(ParseUtcTimeText("2026-12-09 04:05:06.789Z"));
  EXPECT_FALSE(ParseUtcTimeText("2026-12-09T04:05:06Z"));
  EXPECT_FALSE(ParseUtcTimeText("2026-12-09T04:05:06.78xZ"));
  // Bytes that are no UTF-8 (line noise) are replaced, never a reason to fail.
  EXPECT_NO_THROW(JsonLine(json{{"line", std::string("\xff\xfe ok")}}));
}

}  // namespace
}  // namespace quarnel::station
