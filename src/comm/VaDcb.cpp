#include "comm/VaDcb.h"

namespace comm {

platform::Dcb BuildDcb(const TVaLineSettings& line, const TVaFlowControl& flow,
                       const TVaEventChars& chars, const TVaBuffers& buffers) {
  platform::Dcb dcb{};
  dcb.BaudRate = BaudrateValue(line.Baudrate, line.UserBaudrate);
  dcb.Parity = static_cast<uint8_t>(line.Parity);
  dcb.StopBits = static_cast<uint8_t>(line.Stopbits);
  dcb.ByteSize = static_cast<uint8_t>(line.Databits + 4);

  dcb.XonChar = chars.XonChar();
  dcb.XoffChar = chars.XoffChar();
  dcb.ErrorChar = chars.ErrorChar();
  dcb.EofChar = chars.EofChar();
  dcb.EvtChar = chars.EventChar();

  // The device fields are 16 bits wide: only the low half of a limit counts.
  dcb.XonLim = static_cast<uint16_t>(static_cast<uint32_t>(buffers.XonLimit()) & 0xFFFFu);
  dcb.XoffLim = static_cast<uint16_t>(static_cast<uint32_t>(buffers.XoffLimit()) & 0xFFFFu);

  uint32_t flags = platform::kFBinary;
  if (flow.OutCtsFlow()) flags |= platform::kFOutxCtsFlow;
  if (flow.OutDsrFlow()) flags |= platform::kFOutxDsrFlow;
  if (flow.XonXoffOut()) flags |= platform::kFOutX;
  if (flow.XonXoffIn()) flags |= platform::kFInX;
  flags |= (static_cast<uint32_t>(flow.ControlDtr()) << 4) & platform::kFDtrControlMask;
  flags |= (static_cast<uint32_t>(flow.ControlRts()) << 12) & platform::kFRtsControlMask;
  if (flow.DsrSensitivity()) flags |= platform::kFDsrSensitivity;
  if (flow.TxContinueOnXoff()) flags |= platform::kFTXContinueOnXoff;
  for (int i = 0; i < kCommOptionCount; ++i) {
    const auto option = static_cast<TVaCommOption>(i);
    if (line.Options.Contains(option)) flags |= CommOptionFlag(option);
  }
  dcb.Flags = flags;
  return dcb;
}

platform::CommTimeouts BuildTimeouts() {
  platform::CommTimeouts t{};
  t.ReadIntervalTimeout = 0xFFFFFFFF;
  return t;
}

uint32_t BuildEventMask(TVaCommEvents events, bool direct_write) {
  uint32_t mask = 0;
  for (int i = 0; i < kCommEventCount; ++i) {
    const auto event = static_cast<TVaCommEvent>(i);
    if (events.Contains(event)) mask |= CommEventBit(event);
  }
  if (!direct_write) mask &= ~platform::kEvTxEmpty;
  return mask;
}

}  // namespace comm
