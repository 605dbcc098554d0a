#pragma once
// The host's side of a running simulator's pseudo-terminal.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "support/simulator.h"
#include "support/temp_dir.h"

namespace simtest {

using testsupport::Simulator;
using testsupport::TempDir;

// The host's end: the published port opened like a serial device, raw.
class HostPort {
 public:
  explicit HostPort(const std::string& path);
  ~HostPort();
  HostPort(const HostPort&) = delete;
  HostPort& operator=(const HostPort&) = delete;

  void Send(const std::string& text);
  // Collects what arrives until `count` bytes are there or `limit` passes.
  std::string Receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(3));
  // Collects whatever arrives within `period`.
  std::string ReceiveFor(std::chrono::milliseconds period);
  // Each separate read, for checking how the answers were cut into writes.
  std::vector<std::string> ReceiveChunks(size_t count, std::chrono::milliseconds limit);
  // True when the other side hung up (read gives end of file or EIO).
  bool WaitForHangUp(std::chrono::milliseconds limit);

 private:
  int fd_ = -1;
};

// The length of an answer record, line end included.
inline constexpr size_t kAnswerLength = 19;
// No answer is expected: the simulator answers within a few milliseconds
// when it answers at all.
inline constexpr std::chrono::milliseconds kSilence{150};

// A 50-byte image: byte i is (i * 37 + 5) mod 256. It goes out as three
// 24-byte blocks, the last with two image bytes and zero filler.
inline constexpr char kBlock1[] = "*0001052A4F7499BEE3082D52779CC1E60B30557A9FC4E90E3358A3\r\n";
inline constexpr char kBlock2[] = "*00027DA2C7EC11365B80A5CAEF14395E83A8CDF2173C6186ABD062\r\n";
inline constexpr char kBlock3[] = "*0003F51A00000000000000000000000000000000000000000000EE\r\n";

// Command and data records and the expected answers, written out in full.
std::string WithLineEnd(const std::string& record);

}  // namespace simtest
