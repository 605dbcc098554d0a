#pragma once
// Translation of a port's settings into the device's records: the device
// control block, the time-out record and the event mask. Pure functions.
#include <cstdint>

#include "comm/VaPrst.h"
#include "comm/VaTypes.h"
#include "platform/comm_records.h"

namespace comm {

// The port's own line settings.
struct TVaLineSettings {
  TVaBaudrate Baudrate = br1200;
  int32_t UserBaudrate = 0;
  TVaParity Parity = paNone;
  TVaDatabits Databits = db8;
  TVaStopbits Stopbits = sb1;
  TVaCommOptions Options;
};

// Every field not set from the settings is 0: the device's current block is
// never read.
platform::Dcb BuildDcb(const TVaLineSettings& line, const TVaFlowControl& flow,
                       const TVaEventChars& chars, const TVaBuffers& buffers);

// Reads return at once with what has arrived; writes have no total time-out.
platform::CommTimeouts BuildTimeouts();

// The device event mask of the monitored events. With the writer thread in
// use (direct_write false) the transmit-empty bit is left out: the writer
// reports that event itself.
uint32_t BuildEventMask(TVaCommEvents events, bool direct_write);

}  // namespace comm
