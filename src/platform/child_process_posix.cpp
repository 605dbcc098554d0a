#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/child_process.h"

extern char** environ;

namespace platform {
namespace {

class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0)
      throw std::system_error(errno, std::generic_category(), "pipe");
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fds_[2] = {-1, -1};
};

}  // namespace

struct ChildProcess::Impl {
  pid_t pid = -1;
  Pipe output;
  Pipe error;
  std::mutex mutex;  // guards `status` against Wait() from two threads
  std::optional<int> status;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : impl_(std::make_unique<Impl>()) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, impl_->output.write_end(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, impl_->error.write_end(), STDERR_FILENO);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The parent keeps its stop signals for its watcher thread and ignores
  // SIGPIPE: the child starts with neither. Interrupt and terminate are how a
  // supervisor stops it; a hang-up or quit signal that the parent ignores
  // (nohup) stays ignored.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  // Its environment names this process, for StopWhenParentEnds.
  const std::string named = std::string(kSupervisorVariable) + "=";
  std::vector<std::string> environment_text{named + std::to_string(::getpid())};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with(named)) environment_text.emplace_back(*entry);
  }
  std::vector<char*> environment;
  for (std::string& text : environment_text) environment.push_back(text.data());
  environment.push_back(nullptr);

  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : argv_text) argv.push_back(text.data());
  argv.push_back(nullptr);
  const int spawned = ::posix_spawn(&impl_->pid, program.c_str(), &actions, &attributes,
                                    argv.data(), environment.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    impl_->pid = -1;
    throw std::system_error(spawned, std::generic_category(), "cannot start " + program);
  }
  // Only the child writes: its end of the pipes closes with it.
  impl_->output.CloseWrite();
  impl_->error.CloseWrite();
}

ChildProcess::~ChildProcess() {
  if (impl_->pid > 0) {
    bool ended = false;
    {
      std::lock_guard lock(impl_->mutex);
      ended = impl_->status.has_value();
    }
    if (!ended) {
      Kill();
      Wait();
    }
  }
}

size_t ChildProcess::Read(Stream stream, char* buffer, size_t size) {
  const int fd = stream == Stream::kOutput ? impl_->output.read_end() : impl_->error.read_end();
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) return 0;
  }
}

void ChildProcess::RequestStop(int stop_signal) {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->status) ::kill(impl_->pid, stop_signal);
}

void ChildProcess::Kill() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->status) ::kill(impl_->pid, SIGKILL);
}

int ChildProcess::Wait() {
  // Wait for the end without reaping, so no lock is held meanwhile and a stop
  // request never reaches a process number that was given to another.
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(impl_->pid), &info, WEXITED | WNOWAIT) < 0 &&
         errno == EINTR) {
  }
  std::lock_guard lock(impl_->mutex);
  if (impl_->status) return *impl_->status;
  int raw = 0;
  pid_t got;
  do {
    got = ::waitpid(impl_->pid, &raw, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    impl_->status = 127;
  } else if (WIFEXITED(raw)) {
    impl_->status = WEXITSTATUS(raw);
  } else if (WIFSIGNALED(raw)) {
    impl_->status = 128 + WTERMSIG(raw);
  } else {
    impl_->status = 127;
  }
  return *impl_->status;
}

long ChildProcess::Id() const {
  return impl_->pid;
}

std::string OwnProgramPath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) throw std::system_error(error, "cannot find the running program");
  return path.string();
}

void StopWhenParentEnds() {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  const char* named = std::getenv(kSupervisorVariable);
  if (named == nullptr) return;
  const long parent = std::strtol(named, nullptr, 10);
  ::unsetenv(kSupervisorVariable);
  // A parent that ended before the call above sends nothing: this process
  // has been given to another meanwhile.
  if (::getppid() != parent) ::kill(::getpid(), SIGTERM);
}

}  // namespace platform
