#pragma once
// The numbers of the link: the command codes the host sends, the response
// codes the target answers with, and the host's own markers in
// LastResponseCode.
#include <cstdint>

namespace quarnel {

// Command codes of ':' records.
constexpr int kCaptureCommand = 3;
constexpr int kEraseAllCommand = 6;
constexpr int kEraseProgramCommand = 7;
constexpr int kEraseDataCommand = 8;
constexpr int kResetCommand = 9;

// Response codes that something acts on.
constexpr int32_t kInLoaderModeCode = 3;
constexpr int32_t kBlockAcknowledgedCode = 4;
constexpr int32_t kDeviceErasedCode = 6;
constexpr int32_t kProgramMemoryErasedCode = 7;
constexpr int32_t kEepromErasedCode = 8;
constexpr int32_t kDeviceResetCode = 9;

// Host markers, read by the guided flow.
constexpr int32_t kNoAnswerMarker = 98;  // no answer in time while the guided timer runs
constexpr int32_t kRunEndedMarker = 99;  // a programming run ended, complete or aborted

}  // namespace quarnel
