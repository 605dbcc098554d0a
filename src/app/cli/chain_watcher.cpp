#include "app/cli/chain_watcher.h"

#include <string_view>

namespace quarnel::cli {
namespace {

// Status display lines the chain is followed by.
constexpr std::string_view kInLoaderMode = "Device in Loader Mode";
constexpr std::string_view kProgramStart = "Program PIC";
constexpr std::string_view kComplete = "Programming Complete";
constexpr std::string_view kAborted = "  Programming Aborted";
constexpr std::string_view kResetSent = "Reset Target";
constexpr std::string_view kResetAnswered = "Device Reset";
constexpr std::string_view kEraseTimeOut = "ERROR - No response to ERASE command";
constexpr std::string_view kRecordTimeOut = "FAILED - Comms Timeout Error";
constexpr std::string_view kPortClosed = "Comm Port Closed";
constexpr std::string_view kFileErrorPrefix = "File ";
constexpr std::string_view kFileErrorSuffix = " not found";
constexpr std::string_view kEmptyFilePrefix = "Error accessing file ";

// Codes the guided timer acts on: with one of these the chain goes on.
constexpr int32_t kCaptured = 3, kErasedAll = 6, kErasedProgram = 7, kErasedData = 8, kWasReset = 9,
                  kNoAnswer = 98, kRunEnded = 99;

bool ChainActsOn(int32_t code) {
  switch (code) {
    case kCaptured:
    case kErasedAll:
    case kErasedProgram:
    case kErasedData:
    case kWasReset:
    case kNoAnswer:
    case kRunEnded:
      return true;
    default:
      return false;
  }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}
bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

void ChainWatcher::Started(int64_t now_ms) {
  if (!started_at_) started_at_ = now_ms;
}

void ChainWatcher::Decide(ExitStatus status, std::string reason) {
  if (!verdict_) verdict_ = Verdict{status, std::move(reason)};
}

void ChainWatcher::LineAdded(const std::string& line, int64_t now_ms) {
  if (verdict_) return;
  const std::string_view text = line;
  if (text == kInLoaderMode) {
    captured_ = true;
  } else if (text == kProgramStart) {
    programming_started_ = true;
  } else if (text == kComplete) {
    complete_ = true;
  } else if (text == kAborted) {
    aborted_ = true;
  } else if (text == kResetSent) {
    if ((complete_ || aborted_) && !reset_sent_at_) reset_sent_at_ = now_ms;
  } else if (text == kResetAnswered) {
    if (complete_ || aborted_) reset_answered_ = true;
  } else if (text == kEraseTimeOut) {
    Decide(kExitTimeOut, "no answer to an erase command within 20 s");
  } else if (text == kRecordTimeOut) {
    Decide(kExitTimeOut, "no answer to a data record, nine retransmissions included");
  } else if (programming_started_ && StartsWith(text, kFileErrorPrefix) &&
             EndsWith(text, kFileErrorSuffix)) {
    Decide(kExitCouldNotStart, "the image could not be opened when programming started");
  } else if (programming_started_ && StartsWith(text, kEmptyFilePrefix)) {
    Decide(kExitCouldNotStart, "the image was empty when programming started");
  } else if (text == kPortClosed) {
    Disconnected();
  }
}

void ChainWatcher::Disconnected() {
  // The guided timer closes the port after the reset answer (code 9) or after
  // a missing answer (98); it has already cleared the code, so the value seen
  // before its tick tells which.
  if (last_code_ == kNoAnswer) {
    Decide(kExitTimeOut, programming_started_
                             ? "no answer to a data record within 2 s; the port was closed"
                             : "no answer in time; the port was closed");
  } else if (last_code_ == kWasReset && aborted_) {
    Decide(kExitAborted, "the target reported an error while programming; it was reset");
  } else if (last_code_ == kWasReset && complete_) {
    Decide(kExitOk, "programming complete, the target was reset");
  } else if (last_code_ == kWasReset) {
    Decide(kExitFailed, "the target was reset before the image was programmed");
  } else {
    Decide(kExitFailed, "the port was closed before the sequence ended");
  }
}

void ChainWatcher::Sample(const ChainSample& sample, int64_t now_ms) {
  last_code_ = sample.last_response_code;
  if (verdict_ || !started_at_) return;

  if (!captured_ && limits_.capture_ms && now_ms - *started_at_ >= *limits_.capture_ms) {
    Decide(kExitCaptureTimeOut,
           "the target did not answer the capture in time; is it powered on "
           "and connected to this port?");
    return;
  }
  if (reset_sent_at_ && !reset_answered_ && now_ms - *reset_sent_at_ >= limits_.reset_answer_ms) {
    if (aborted_) {
      Decide(kExitAborted,
             "the target reported an error while programming, and did not answer the reset");
    } else {
      Decide(kExitTimeOut, "the image was sent, but the target did not answer the reset command");
    }
    return;
  }
  const bool stalled = !sample.operation_timer_running &&
                       (!sample.guided_timer_running || !ChainActsOn(sample.last_response_code));
  if (!stalled) {
    stalled_since_.reset();
    return;
  }
  if (!stalled_since_) stalled_since_ = now_ms;
  if (now_ms - *stalled_since_ >= limits_.stall_ms) {
    Decide(kExitFailed, "the sequence stopped: the target's last answer (code " +
                            std::to_string(sample.last_response_code) + ") starts no further step");
  }
}

}  // namespace quarnel::cli
