#include "bootloader.h"

namespace targetsim {

std::optional<Reply> Bootloader::Handle(const HostRecord& record) {
  if (!powered_) return std::nullopt;
  if (record.error != 0) {
    // A broken data record is still acknowledged as a block (code 4), so the
    // host's run sees the error bits and stops; a broken command has no
    // trustworthy code to echo.
    Reply reply;
    reply.code = record.kind == RecordKind::kData ? kCodeBlockAck : kCodeNone;
    reply.status = static_cast<uint16_t>((loader_mode_ ? kStatusLoaderMode : 0) | record.error);
    return reply;
  }
  if (record.kind == RecordKind::kCommand) {
    image_.EndRetransmissionWindow();
    return HandleCommand(record.command);
  }
  return HandleData(record);
}

Reply Bootloader::HandleCommand(uint8_t command) {
  Reply reply;
  if (command == kCommandCapture) {
    loader_mode_ = true;
    reply.code = kCommandCapture;
    reply.status = kStatusLoaderMode;
    return reply;
  }
  if (!loader_mode_) {
    // Not the echoed code: the host must not report an erase or a reset that
    // never happened.
    reply.code = kCodeNone;
    reply.status = kStatusNotInLoaderMode;
    return reply;
  }
  switch (command) {
    case kCommandEraseAll:
    case kCommandEraseProgram:
      image_.Clear();
      reply.busy_ms = times_.erase_ms;
      reply.status = kStatusLoaderMode;
      break;
    case kCommandEraseData:
      reply.busy_ms = times_.erase_ms;
      reply.status = kStatusLoaderMode;
      break;
    case kCommandReset:
      loader_mode_ = false;
      reply.status = 0;
      reply.reset = true;
      break;
    default:
      break;
  }
  reply.code = command;
  return reply;
}

Reply Bootloader::HandleData(const HostRecord& record) {
  Reply reply;
  reply.code = kCodeBlockAck;
  if (!loader_mode_) {
    reply.status = kStatusNotInLoaderMode;
    return reply;
  }
  const auto added = image_.Add(record.sequence, record.text, record.block);
  reply.block_number = added.block_number;
  reply.retransmission = added.retransmission;
  reply.busy_ms = times_.program_ms;
  reply.status = kStatusLoaderMode | kStatusRecordProgrammed;
  return reply;
}

}  // namespace targetsim
