#include "target_engine.h"

#include <algorithm>

#include "hex_text.h"

namespace targetsim {

TargetEngine::TargetEngine(const SimOptions& options, Log log, Log warn)
    : options_(options),
      log_(std::move(log)),
      warn_(std::move(warn)),
      bootloader_(options.times, options.power_on_after_ms == 0),
      faults_(options.faults),
      pacer_(options.baud) {}

void TargetEngine::Receive(std::string_view bytes, SimClock::time_point now) {
  if (hanging_up_) return;
  // The unit is switched on a while after the host starts talking to it,
  // as the operator does in the guided flow.
  if (!bootloader_.powered() && !power_on_at_ && !bytes.empty()) {
    power_on_at_ = now + std::chrono::milliseconds(options_.power_on_after_ms);
  }
  for (const char c : bytes) {
    const auto arrived = pacer_.Receive(now);
    if (auto line = framer_.Feed(c)) HandleLine(*line, arrived);
  }
}

void TargetEngine::PowerOnIfDue(SimClock::time_point now) {
  if (!bootloader_.powered() && !last_unit_gone_ && power_on_at_ && now >= *power_on_at_) {
    bootloader_.PowerOn();
    if (log_) log_("target powered on");
  }
}

void TargetEngine::HandleLine(const std::string& line, SimClock::time_point at) {
  PowerOnIfDue(at);
  if (log_) log_("<- " + Printable(line) + "\\n");
  const auto record = ParseHostRecord(line);
  if (!record) {
    if (log_) log_("   no readable sequence number: not answered");
    return;
  }
  const auto reply = bootloader_.Handle(*record);
  if (!reply) {
    if (log_) log_("   target not powered: not answered");
    return;
  }

  AnswerContext context;
  context.record_number = ++records_answered_;
  if (record->kind == RecordKind::kData) context.data_number = ++data_records_answered_;
  if (record->kind == RecordKind::kCommand && record->error == 0) context.command = record->command;
  context.block_number = reply->block_number;
  context.retransmission = reply->retransmission;

  // A unit swapped in the middle: the acknowledgement of block K already
  // comes from the other one.
  const auto& swap = options_.faults;
  if (swap.change_id_after_block != 0 && reply->block_number &&
      *reply->block_number >= swap.change_id_after_block) {
    id_changed_ = true;
  }
  Response response;
  response.target_id = id_changed_ ? swap.changed_id : options_.target_id;
  response.sequence = record->sequence;
  response.code = reply->code;
  response.status = reply->status | faults_.ExtraStatusBits(reply->block_number);

  if (reply->reset) {
    SaveImage();
    if (options_.next_unit_after_ms > 0) {
      // The answer still goes out; then this unit is gone and the next one
      // comes, if there is one.
      bootloader_.PowerOff();
      ++units_reset_;
      if (options_.units == 0 || units_reset_ < options_.units) {
        power_on_at_ = at + std::chrono::milliseconds(options_.next_unit_after_ms);
        if (log_)
          log_("unit taken away; the next one powers on in " +
               std::to_string(options_.next_unit_after_ms) + " ms");
      } else {
        last_unit_gone_ = true;
        if (log_) log_("unit taken away; it was the last one");
      }
    }
  }

  auto when = std::max(at, busy_until_) + std::chrono::milliseconds(reply->busy_ms);
  busy_until_ = when;
  auto plan = faults_.Plan(context, response);
  if (plan.writes.empty() && log_) log_("   answer dropped");
  for (auto& write : plan.writes) {
    when += std::chrono::milliseconds(write.delay_ms);
    when = pacer_.Transmit(when, write.bytes.size());
    pending_.emplace(when, OutgoingWrite{std::move(write.bytes), false});
  }
  if (plan.hang_up) {
    // Nothing after the hang-up reaches the host.
    hanging_up_ = true;
    pending_.emplace(when, OutgoingWrite{"", true});
  }
}

void TargetEngine::HostClosed() {
  framer_.Reset();
  if (!hanging_up_) pending_.clear();
}

std::optional<SimClock::time_point> TargetEngine::NextWakeUp() const {
  std::optional<SimClock::time_point> next;
  if (!pending_.empty()) next = pending_.begin()->first;
  if (!bootloader_.powered() && !last_unit_gone_ && power_on_at_ &&
      (!next || *power_on_at_ < *next)) {
    next = power_on_at_;
  }
  return next;
}

std::vector<OutgoingWrite> TargetEngine::TakeDue(SimClock::time_point now) {
  PowerOnIfDue(now);
  std::vector<OutgoingWrite> due;
  while (!pending_.empty() && pending_.begin()->first <= now) {
    due.push_back(std::move(pending_.begin()->second));
    pending_.erase(pending_.begin());
  }
  return due;
}

void TargetEngine::SaveImage() {
  if (options_.image_out.empty()) return;
  std::string error;
  if (!bootloader_.image().WriteTo(options_.image_out, &error)) {
    if (warn_) warn_(error);
  } else if (log_) {
    log_("image of " + std::to_string(bootloader_.image().block_count()) + " blocks written to " +
         options_.image_out);
  }
}

}  // namespace targetsim
