#include "link/response_record.h"

#include "link/records.h"

namespace quarnel {

std::optional<ResponseFields> SplitResponse(std::string_view record) {
  if (record.size() < kResponseLength) return std::nullopt;
  return ResponseFields{record.substr(1, 4), record.substr(5, 4), record.substr(9, 2),
                        record.substr(11, 4), record.substr(15, 2)};
}

bool ResponseChecksumValid(const ResponseFields& fields) {
  const std::string_view pairs[] = {fields.target_id.substr(0, 2),
                                    fields.target_id.substr(2, 2),
                                    fields.sequence.substr(0, 2),
                                    fields.sequence.substr(2, 2),
                                    fields.code,
                                    fields.status.substr(0, 2),
                                    fields.status.substr(2, 2),
                                    fields.checksum};
  int32_t sum = 0;
  for (std::string_view pair : pairs) sum += HexToInt(pair);
  // Divisibility by 256 does not depend on the sign of the sum, which odd
  // characters can make negative.
  return sum % 256 == 0;
}

ResponseVerdict CheckResponse(std::string_view record, uint16_t expected_sequence) {
  const std::optional<ResponseFields> fields = SplitResponse(record);
  if (!fields) return ResponseVerdict::TooShort;
  if (!ResponseChecksumValid(*fields)) return ResponseVerdict::BadChecksum;
  if (HexToInt(fields->sequence) != expected_sequence) return ResponseVerdict::WrongSequence;
  return ResponseVerdict::Accepted;
}

std::string_view ResponseCodeText(int32_t code) {
  switch (code) {
    case 1:
      return "Device in Transparent Mode";
    case 2:
      return "Device program space invalidated";
    case 3:
      return "Device in Loader Mode";
    case 6:
      return "Device Erased";
    case 7:
      return "PGM Memory Only Erased";
    case 8:
      return "EEPROM Erased";
    case 9:
      return "Device Reset";
    default:
      return {};
  }
}

bool ResponseCodeStopsTimer(int32_t code) {
  switch (code) {
    case 1:
    case 3:
    case 4:
    case 6:
    case 7:
    case 8:
    case 9:
      return true;
    default:
      return false;
  }
}

std::string InvalidRecordMessage(std::string_view received) {
  return "Invalid Record Received ->" + std::string(received);
}

std::string TooShortMessage(std::string_view received) {
  return "Response record too short --> " + std::string(received);
}

std::string ChecksumErrorMessage(std::string_view read_after_error) {
  return "Response Record Checksum Error --> " + std::string(read_after_error);
}

std::string IncorrectSequenceMessage(std::string_view received_sequence, uint16_t expected) {
  return "Incorrect sequence: " + std::string(received_sequence) +
         ", expected: " + std::to_string(expected);
}

}  // namespace quarnel
