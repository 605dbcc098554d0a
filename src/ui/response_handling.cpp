// Receiving the target's answers: each line is logged with its time, checked,
// and acted on by its response code; the target's status is shown in words.
#include <limits>

#include "link/codes.h"
#include "link/records.h"
#include "link/response_record.h"
#include "link/status_bits.h"
#include "ui/main_window.h"

namespace quarnel {

void TForm1::VaCommRxFlag(tk::TObject*) {
  HandleReceivedLine();
}

void TForm1::HandleReceivedLine() {
  ReceivedLine = Port().ReadText();
  ReceivedLength = ReceivedLine.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())
                       ? std::numeric_limits<int32_t>::max()
                       : static_cast<int32_t>(ReceivedLine.size());
  if (EngineeringMode == 1) AppendLogLine(DataResponse, TimeStamp() + " " + ReceivedLine);
  // A notification may find nothing left to read (an earlier one took it):
  // the empty text is logged above and otherwise ignored.
  if (ReceivedLine.empty()) return;
  ++sequence_.details.lines_received;
  if (ReceivedLine.front() == kResponseStart) {
    DecodeResponse();
  } else {
    AppendLogLine(Memo1, InvalidRecordMessage(ReceivedLine));
  }
}

void TForm1::DecodeResponse() {
  const uint16_t expected = Link.SequenceNumber;
  switch (CheckResponse(ReceivedLine, expected)) {
    case ResponseVerdict::TooShort:
      AppendLogLine(Memo1, TooShortMessage(ReceivedLine));
      return;
    case ResponseVerdict::BadChecksum:
      // What arrived since the line was read goes with the message; the
      // damaged line itself is not repeated.
      AppendLogLine(Memo1, ChecksumErrorMessage(Port().ReadText()));
      return;
    case ResponseVerdict::WrongSequence:
      AppendLogLine(
          Memo1, IncorrectSequenceMessage(std::string_view(ReceivedLine).substr(5, 4), expected));
      return;
    case ResponseVerdict::Accepted:
      break;
  }

  // A copy: the handlers below may run for a while, and the record must stay
  // as it was received.
  const std::string record = ReceivedLine;
  const ResponseFields fields = *SplitResponse(record);
  TargetStatus = HexToInt(fields.status);
  LastResponseCode = HexToInt(fields.code);
  const int32_t code = LastResponseCode;
  if (!NoteAnswer(std::string(fields.target_id), static_cast<uint16_t>(TargetStatus), code)) return;

  if (ResponseCodeStopsTimer(code)) Timer1.SetEnabled(false);
  if (code == kBlockAcknowledgedCode) {
    HandleBlockAck(record);
    return;
  }
  const std::string_view text = ResponseCodeText(code);
  if (text.empty()) return;  // codes that are only stored
  AppendLogLine(Memo1, std::string(text));
  ShowTargetInfo(record);
  UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
}

void TForm1::ShowTargetInfo(const std::string& record) {
  for (const std::string& line : TargetInfoHeading(record)) AppendLogLine(Memo1, line);
  ReportStatusBits(static_cast<uint16_t>(TargetStatus));
  AppendLogLine(Memo1, TargetInfoUnderline());
}

void TForm1::ReportStatusBits(uint16_t status) {
  for (const std::string& line : StatusBitLines(status)) AppendLogLine(Memo1, line);
}

}  // namespace quarnel
