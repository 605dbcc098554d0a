#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/pseudo_terminal.h"

namespace platform {

PseudoTerminal::PseudoTerminal() {
  master_fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_fd_ < 0) throw std::system_error(errno, std::generic_category(), "posix_openpt");
  char name[128];
  if (::grantpt(master_fd_) != 0 || ::unlockpt(master_fd_) != 0 ||
      ::ptsname_r(master_fd_, name, sizeof name) != 0) {
    const int err = errno;
    ::close(master_fd_);
    throw std::system_error(err, std::generic_category(), "pseudo-terminal set-up");
  }
  slave_path_ = name;
  termios tio{};
  if (::tcgetattr(master_fd_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(master_fd_, TCSANOW, &tio);
  }
}

PseudoTerminal::~PseudoTerminal() {
  CloseMaster();
}

void PseudoTerminal::CloseMaster() noexcept {
  if (master_fd_ >= 0) {
    ::close(master_fd_);
    master_fd_ = -1;
  }
}

}  // namespace platform
