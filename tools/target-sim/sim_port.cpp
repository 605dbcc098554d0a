#include "sim_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "platform/virtual_ports.h"

namespace targetsim {
namespace {

timespec ToTimespec(int timeout_ms) {
  return timespec{timeout_ms / 1000, static_cast<long>(timeout_ms % 1000) * 1'000'000L};
}

}  // namespace

SimPort::SimPort(const std::string& name) {
  ::fcntl(pty_.MasterFd(), F_SETFL, ::fcntl(pty_.MasterFd(), F_GETFL) | O_NONBLOCK);
  ApplyRawMode();
  try {
    // A running simulator holds its name: taking it over would cut that one
    // off from its host. The entry of one that was killed is free again.
    publication_.emplace(name, pty_.SlavePath());
  } catch (const platform::VirtualPortInUse& error) {
    throw std::runtime_error(std::string(error.what()) +
                             "; choose another with --name, or end the simulator using it");
  } catch (const std::system_error& error) {
    throw std::runtime_error(std::string(error.what()) +
                             "; check that the directory is writable or set XDG_RUNTIME_DIR");
  }
  link_path_ = publication_->path();
}

SimPort::~SimPort() = default;

SimPort::Event SimPort::Wait(long long timeout_us, bool want_write, const StopSignals& stop) {
  if (stop.requested()) return Event::kStop;
  if (pty_.MasterFd() < 0) return Event::kClosed;
  pollfd fd{pty_.MasterFd(), static_cast<short>(POLLIN | (want_write ? POLLOUT : 0)), 0};
  const timespec limit{static_cast<time_t>(timeout_us < 0 ? 0 : timeout_us / 1'000'000),
                       static_cast<long>(timeout_us < 0 ? 0 : (timeout_us % 1'000'000) * 1000)};
  const int ready = ::ppoll(&fd, 1, timeout_us < 0 ? nullptr : &limit, stop.wait_mask());
  if (stop.requested()) return Event::kStop;
  if (ready < 0) return errno == EINTR ? Event::kTimeout : Event::kClosed;
  if (ready == 0) return Event::kTimeout;
  if (fd.revents & POLLIN) return Event::kReadable;
  if (fd.revents & POLLHUP) return Event::kHostAbsent;
  if (fd.revents & POLLOUT) return Event::kWritable;
  return Event::kClosed;
}

void SimPort::Pause(int timeout_ms, const StopSignals& stop) {
  if (stop.requested()) return;
  const timespec limit = ToTimespec(timeout_ms < 0 ? 0 : timeout_ms);
  ::ppoll(nullptr, 0, &limit, stop.wait_mask());
}

SimPort::ReadResult SimPort::Read(std::string& out) {
  char buffer[512];
  const ssize_t got = ::read(pty_.MasterFd(), buffer, sizeof buffer);
  if (got > 0) {
    out.append(buffer, static_cast<size_t>(got));
    return ReadResult::kData;
  }
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::kNothing;
  // EIO: the host closed its side.
  return ReadResult::kHostAbsent;
}

bool SimPort::Write(std::string& pending) {
  while (!pending.empty()) {
    const ssize_t put = ::write(pty_.MasterFd(), pending.data(), pending.size());
    if (put > 0) {
      pending.erase(0, static_cast<size_t>(put));
      continue;
    }
    if (put < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    return false;
  }
  return true;
}

void SimPort::ApplyRawMode() {
  // Settings made on the master apply to the pair.
  termios tio{};
  if (::tcgetattr(pty_.MasterFd(), &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(pty_.MasterFd(), TCSANOW, &tio);
  }
}

void SimPort::HangUp() {
  if (publication_) publication_->Withdraw();
  pty_.CloseMaster();
}

}  // namespace targetsim
