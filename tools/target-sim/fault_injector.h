#pragma once
// Deliberate faults on the answers, for testing how the host copes. Records
// and data records are counted from 1 in the order the target answers them.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "response_record.h"

namespace targetsim {

struct FaultOptions {
  uint32_t drop_answer = 0;         // the answer to record N
  uint32_t drop_data_every = 0;     // the answer to every Nth data record
  std::set<uint8_t> drop_commands;  // every answer to these command codes
  // Block K -> how many of its sendings go unanswered (0: all of them).
  std::map<size_t, uint32_t> drop_block;
  uint32_t corrupt_checksum = 0;  // answer to record N
  uint32_t wrong_sequence = 0;    // answer to record N
  uint32_t lower_case_from = 0;   // answers to record N and all later ones
  uint32_t double_answer = 0;     // answer to record N held, sent with the next
  uint32_t split_answer = 0;      // answer to record N in two writes
  uint32_t split_pause_ms = 50;
  uint32_t delay_ms = 0;                         // every answer
  std::map<size_t, uint16_t> block_status_bits;  // block K -> bits on its acknowledgement
  uint32_t garbage_every = 0;                    // a garbage line before every Nth record's answer
  size_t hang_up_after_block = 0;                // close the port after acknowledging block K
  // Another unit from the acknowledgement of block K on (a unit swapped
  // while it was programmed): every answer carries `changed_id` then.
  size_t change_id_after_block = 0;
  uint16_t changed_id = 0;
  uint32_t noise_bytes = 0;  // line noise without a line feed before the first answer
};

struct AnswerContext {
  uint32_t record_number = 0;
  std::optional<uint32_t> data_number;
  std::optional<uint8_t> command;
  std::optional<size_t> block_number;
  bool retransmission = false;
};

struct PlannedWrite {
  uint32_t delay_ms = 0;  // after the previous write of the plan (or the answer's time)
  std::string bytes;
};

struct AnswerPlan {
  std::vector<PlannedWrite> writes;
  bool hang_up = false;  // after the last write
};

class FaultInjector {
 public:
  static constexpr const char* kGarbageLine = "#?~ line noise ~?#\r\n";

  // `count` bytes of what a line at the wrong speed delivers: any byte but
  // a line feed, so the host finds no line end in them.
  static std::string LineNoise(size_t count);

  explicit FaultInjector(FaultOptions options) : options_(std::move(options)) {}

  uint16_t ExtraStatusBits(std::optional<size_t> block_number) const;
  // Turns one answer into the writes that go out for it.
  AnswerPlan Plan(const AnswerContext& context, Response response);

 private:
  // Counts the sendings of a block whose answers are to be dropped.
  bool Dropped(const AnswerContext& context);

  FaultOptions options_;
  std::string held_;  // an answer waiting to share a write with the next one
  std::map<size_t, uint32_t> block_answers_dropped_;
};

}  // namespace targetsim
