#include "fault_injector.h"

namespace targetsim {

uint16_t FaultInjector::ExtraStatusBits(std::optional<size_t> block_number) const {
  if (!block_number) return 0;
  const auto found = options_.block_status_bits.find(*block_number);
  return found == options_.block_status_bits.end() ? 0 : found->second;
}

bool FaultInjector::Dropped(const AnswerContext& context) {
  if (options_.drop_answer != 0 && context.record_number == options_.drop_answer) return true;
  if (context.block_number) {
    const auto dropping = options_.drop_block.find(*context.block_number);
    if (dropping != options_.drop_block.end()) {
      uint32_t& dropped = block_answers_dropped_[*context.block_number];
      if (dropping->second == 0 || dropped < dropping->second) {
        ++dropped;
        return true;
      }
    }
  }
  if (options_.drop_data_every != 0 && context.data_number &&
      *context.data_number % options_.drop_data_every == 0) {
    return true;
  }
  return context.command && options_.drop_commands.contains(*context.command);
}

std::string FaultInjector::LineNoise(size_t count) {
  std::string noise(count, '\0');
  uint32_t state = 0x2545F491u;
  for (char& c : noise) {
    state = state * 1664525u + 1013904223u;  // any fixed sequence will do
    c = static_cast<char>(state >> 24);
    if (c == '\n') c = '\x0B';
  }
  return noise;
}

AnswerPlan FaultInjector::Plan(const AnswerContext& context, Response response) {
  AnswerPlan plan;
  const uint32_t n = context.record_number;
  plan.hang_up = options_.hang_up_after_block != 0 &&
                 context.block_number == options_.hang_up_after_block && !context.retransmission;

  std::string text;
  if (options_.noise_bytes != 0 && n == 1) text = LineNoise(options_.noise_bytes);
  if (options_.garbage_every != 0 && n % options_.garbage_every == 0) text += kGarbageLine;
  if (!Dropped(context)) {
    if (options_.wrong_sequence == n) ++response.sequence;
    const bool lower_case = options_.lower_case_from != 0 && n >= options_.lower_case_from;
    const uint8_t checksum_offset = options_.corrupt_checksum == n ? 1 : 0;
    text += held_ + BuildResponseRecord(response, lower_case, checksum_offset);
    held_.clear();
    if (options_.double_answer == n) {
      held_ = std::move(text);
      text.clear();
    }
  }
  if (text.empty()) return plan;

  if (options_.split_answer == n && text.size() > 1) {
    const size_t half = text.size() / 2;
    plan.writes.push_back({options_.delay_ms, text.substr(0, half)});
    plan.writes.push_back({options_.split_pause_ms, text.substr(half)});
  } else {
    plan.writes.push_back({options_.delay_ms, std::move(text)});
  }
  return plan;
}

}  // namespace targetsim
