#pragma once
// Reading the target's response records: '!' + target ID (4) + sequence (4)
// + response code (2) + status word (4) + checksum (2), in hex text, then the
// line end. Only characters 0..16 are examined; anything after them is not.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarnel {

constexpr char kResponseStart = '!';
constexpr size_t kResponseLength = 17;

// The fields of a response record as received (not converted).
struct ResponseFields {
  std::string_view target_id;  // characters 1-4
  std::string_view sequence;   // characters 5-8
  std::string_view code;       // characters 9-10
  std::string_view status;     // characters 11-14
  std::string_view checksum;   // characters 15-16
};

// The fields of `record`; nullopt when it is shorter than a response record.
// The views point into `record`.
std::optional<ResponseFields> SplitResponse(std::string_view record);

// True when the eight two-character bytes of characters 1..16, read with
// HexToInt, add up to a multiple of 256. Needs a full-length record.
bool ResponseChecksumValid(const ResponseFields& fields);

enum class ResponseVerdict { TooShort, BadChecksum, WrongSequence, Accepted };

// The checks of a received record in the order they are made; the first that
// fails decides. `record` is taken to begin with the start character.
ResponseVerdict CheckResponse(std::string_view record, uint16_t expected_sequence);

// What the status display says for a response code; empty for the codes that
// are not reported on their own (0, 4, 5, 10 and above).
std::string_view ResponseCodeText(int32_t code);
// The codes whose arrival ends the operation that `Timer1` is waiting for.
bool ResponseCodeStopsTimer(int32_t code);

// The status display's lines for the failures of a received text.
std::string InvalidRecordMessage(std::string_view received);
std::string TooShortMessage(std::string_view received);
std::string ChecksumErrorMessage(std::string_view read_after_error);
std::string IncorrectSequenceMessage(std::string_view received_sequence, uint16_t expected);

}  // namespace quarnel
