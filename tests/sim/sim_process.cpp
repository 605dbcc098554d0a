#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace simtest {
namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

SimProcess::SimProcess(const std::filesystem::path& runtime_dir,
                       const std::vector<std::string>& args) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (!std::getenv("QUARNEL_SIM_TEST_VERBOSE")) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }

  std::vector<std::string> argv_text{QUARNEL_TARGET_SIM};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  if (std::getenv("QUARNEL_SIM_TEST_VERBOSE")) argv_text.push_back("--verbose");
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_text{"XDG_RUNTIME_DIR=" + runtime_dir.string()};
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0) env_text.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int spawned =
      ::posix_spawn(&pid_, QUARNEL_TARGET_SIM, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start the simulator");
  }
  // The first line on stdout is the published port.
  const auto end = Clock::now() + std::chrono::seconds(5);
  char c;
  pollfd fd{out[0], POLLIN, 0};
  while (::poll(&fd, 1, MillisLeft(end)) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') {
    port_path_ += c;
  }
  ::close(out[0]);
  if (port_path_.empty()) {
    Stop();
    throw std::runtime_error("the simulator printed no port");
  }
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

int SimProcess::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  return WaitForExit(std::chrono::seconds(5));
}

void SimProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int SimProcess::WaitForExit(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  const auto end = Clock::now() + limit;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (Clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

HostPort::HostPort(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  termios tio{};
  ::tcgetattr(fd_, &tio);
  ::cfmakeraw(&tio);
  ::cfsetspeed(&tio, B115200);
  ::tcsetattr(fd_, TCSANOW, &tio);
}

HostPort::~HostPort() {
  if (fd_ >= 0) ::close(fd_);
}

void HostPort::Send(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd_, text.data() + done, text.size() - done);
    if (put > 0) {
      done += static_cast<size_t>(put);
    } else if (put < 0 && errno == EAGAIN) {
      pollfd fd{fd_, POLLOUT, 0};
      ::poll(&fd, 1, 100);
    } else {
      throw std::runtime_error("write to the port failed");
    }
  }
}

std::vector<std::string> HostPort::ReceiveChunks(size_t count, std::chrono::milliseconds limit) {
  std::vector<std::string> chunks;
  size_t total = 0;
  const auto end = Clock::now() + limit;
  while (total < count) {
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, MillisLeft(end)) <= 0) break;
    char buffer[256];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) break;
    chunks.emplace_back(buffer, static_cast<size_t>(got));
    total += static_cast<size_t>(got);
  }
  return chunks;
}

std::string HostPort::Receive(size_t count, std::chrono::milliseconds limit) {
  std::string text;
  for (const auto& chunk : ReceiveChunks(count, limit)) text += chunk;
  return text;
}

std::string HostPort::ReceiveFor(std::chrono::milliseconds period) {
  return Receive(static_cast<size_t>(-1), period);
}

bool HostPort::WaitForHangUp(std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (true) {
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, MillisLeft(end)) <= 0) return false;
    char buffer[256];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno == EIO)) return true;
  }
}

std::string WithLineEnd(const std::string& record) {
  return record + "\r\n";
}

}  // namespace simtest
