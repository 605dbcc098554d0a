#pragma once
// What the serial device's contract cases need on every system: above all
// the far end of a line. On Linux that is the master side of a
// pseudo-terminal in the test process; on Windows a Linux program
// (serial-peer-server) plays it through a pseudo-terminal that Wine maps to
// a COM port, and the test talks to it over a local socket.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/comm_records.h"

namespace platform::testing {

// The line settings of the cases: those of the link, with `event_char`.
inline Dcb LineSettings(char event_char = '\n') {
  Dcb dcb;
  dcb.BaudRate = 115200;
  dcb.Flags = kFBinary;
  dcb.ByteSize = 8;
  dcb.Parity = kParityNone;
  dcb.StopBits = kStopBitsOne;
  dcb.EvtChar = event_char;
  dcb.EofChar = '\n';
  return dcb;
}

class SerialPeer {
 public:
  virtual ~SerialPeer() = default;

  // What SerialDevice::Open takes for the near end of this line.
  virtual std::string DevicePath() const = 0;
  // The far end sends `bytes`.
  virtual void Send(const std::string& bytes) = 0;
  // What has reached the far end: waits until `count` bytes have come or
  // `limit` has passed, and takes at most `count`.
  virtual std::string Receive(size_t count, std::chrono::milliseconds limit) = 0;
  // The far end goes away for good, as an unplugged adapter does.
  virtual void Vanish() = 0;
};

// A fresh line. nullptr, with the reason, where this run has no peer.
std::unique_ptr<SerialPeer> NewSerialPeer(std::string* why_none);

// What the cases need to know of the system they run on.
struct SystemFacts {
  std::string missing_device;                   // a device name that does not exist
  std::vector<std::string> not_serial_devices;  // devices that are no serial line
  // Whether the system itself keeps a second user off a port that is open
  // (Wine does not).
  bool keeps_a_port_to_one_user;
  // The error numbers that serial_device.h documents.
  int invalid_argument;
  int cancelled;
  int timed_out;
  int shut_down;
};
const SystemFacts& ThisSystem();

}  // namespace platform::testing
