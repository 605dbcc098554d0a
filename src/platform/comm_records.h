#pragma once
// The plain records of a serial device. Field names follow the driver
// interface the comm component was designed for, so its documented values
// read the same here.
#include <cstdint>

namespace platform {

// Device control block: line settings and flow control.
struct Dcb {
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;  // kF* bits below
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;  // 5..8
  uint8_t Parity = 0;    // kParity*
  uint8_t StopBits = 0;  // kStopBits*
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
};

// Dcb::Flags bits.
constexpr uint32_t kFBinary = 0x0001;
constexpr uint32_t kFParity = 0x0002;
constexpr uint32_t kFOutxCtsFlow = 0x0004;
constexpr uint32_t kFOutxDsrFlow = 0x0008;
constexpr uint32_t kFDtrControlMask = 0x0030;
constexpr uint32_t kFDtrControlDisable = 0x0000;
constexpr uint32_t kFDtrControlEnable = 0x0010;
constexpr uint32_t kFDtrControlHandshake = 0x0020;
constexpr uint32_t kFDsrSensitivity = 0x0040;
constexpr uint32_t kFTXContinueOnXoff = 0x0080;
constexpr uint32_t kFOutX = 0x0100;
constexpr uint32_t kFInX = 0x0200;
constexpr uint32_t kFErrorChar = 0x0400;
constexpr uint32_t kFNull = 0x0800;
constexpr uint32_t kFRtsControlMask = 0x3000;
constexpr uint32_t kFRtsControlDisable = 0x0000;
constexpr uint32_t kFRtsControlEnable = 0x1000;
constexpr uint32_t kFRtsControlHandshake = 0x2000;
constexpr uint32_t kFRtsControlToggle = 0x3000;
constexpr uint32_t kFAbortOnError = 0x4000;

// Dcb::Parity values.
constexpr uint8_t kParityNone = 0;
constexpr uint8_t kParityOdd = 1;
constexpr uint8_t kParityEven = 2;
constexpr uint8_t kParityMark = 3;
constexpr uint8_t kParitySpace = 4;

// Dcb::StopBits values.
constexpr uint8_t kStopBitsOne = 0;
constexpr uint8_t kStopBitsOneAndHalf = 1;
constexpr uint8_t kStopBitsTwo = 2;

struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// Device status: queue counts (Flags holds the hold reasons, always 0 here).
struct ComStat {
  uint32_t Flags = 0;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// Event bits of SetMask / WaitCommEvent.
constexpr uint32_t kEvRxChar = 0x0001;
constexpr uint32_t kEvRxFlag = 0x0002;
constexpr uint32_t kEvTxEmpty = 0x0004;
constexpr uint32_t kEvCts = 0x0008;
constexpr uint32_t kEvDsr = 0x0010;
constexpr uint32_t kEvRlsd = 0x0020;
constexpr uint32_t kEvBreak = 0x0040;
constexpr uint32_t kEvErr = 0x0080;
constexpr uint32_t kEvRing = 0x0100;
constexpr uint32_t kEvPErr = 0x0200;
constexpr uint32_t kEvRx80Full = 0x0400;
constexpr uint32_t kEvEvent1 = 0x0800;
constexpr uint32_t kEvEvent2 = 0x1000;
// Not one of the driver's events: the device has vanished (the line hung up,
// the adapter was unplugged). WaitCommEvent reports it once, whatever the
// mask, after which the device only fails.
constexpr uint32_t kEvDeviceGone = 0x10000;

// Line error flags of ClearError.
constexpr uint32_t kCeRxOver = 0x0001;
constexpr uint32_t kCeOverrun = 0x0002;
constexpr uint32_t kCeRxParity = 0x0004;
constexpr uint32_t kCeFrame = 0x0008;
constexpr uint32_t kCeBreak = 0x0010;
constexpr uint32_t kCeIoe = 0x0400;  // a read, write or wait failed, not for good
constexpr uint32_t kCeTxFull = 0x0100;

}  // namespace platform
