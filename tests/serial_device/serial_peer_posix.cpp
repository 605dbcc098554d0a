// The far end on Linux: the master side of a pseudo-terminal, held by the
// test process itself.
#include <cerrno>

#include "platform/pseudo_terminal.h"
#include "platform/pty_test_support.h"
#include "serial_peer.h"

namespace platform::testing {
namespace {

class PtyPeer final : public SerialPeer {
 public:
  std::string DevicePath() const override { return pty_.SlavePath(); }
  void Send(const std::string& bytes) override { WriteAll(pty_.MasterFd(), bytes); }
  std::string Receive(size_t count, std::chrono::milliseconds limit) override {
    return ReadUpTo(pty_.MasterFd(), count, limit);
  }
  void Vanish() override { pty_.CloseMaster(); }

 private:
  PseudoTerminal pty_;
};

}  // namespace

std::unique_ptr<SerialPeer> NewSerialPeer(std::string*) {
  return std::make_unique<PtyPeer>();
}

const SystemFacts& ThisSystem() {
  static const SystemFacts facts{
      .missing_device = "/dev/quarnel-no-such-port",
      // A character device, a pseudo-terminal master.
      .not_serial_devices = {"/dev/null", "/dev/ptmx"},
      .keeps_a_port_to_one_user = true,
      .invalid_argument = EINVAL,
      .cancelled = ECANCELED,
      .timed_out = ETIMEDOUT,
      .shut_down = EBADF,
  };
  return facts;
}

}  // namespace platform::testing
