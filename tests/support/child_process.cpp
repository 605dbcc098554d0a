#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

#include "support/files.h"

extern char** environ;

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;
// How often a waiting helper looks at a child's output or state again.
constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::vector<std::string> Environment(const std::filesystem::path& runtime_dir) {
  std::vector<std::string> env{"XDG_RUNTIME_DIR=" + runtime_dir.string()};
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0) env.emplace_back(*e);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& runtime_dir,
                           const std::filesystem::path& output_dir, const std::string& label,
                           Streams streams)
    : stdout_path_(output_dir / (label + ".out")), stderr_path_(output_dir / (label + ".err")) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (streams == Streams::kClosed) {
    posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdout_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  auto env_text = Environment(runtime_dir);
  auto argv = Pointers(argv_text);
  auto envp = Pointers(env_text);
  const int spawned =
      ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void ChildProcess::Signal(int signal_number) {
  if (pid_ > 0 && !status_) ::kill(pid_, signal_number);
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!status_) {
    int raw = 0;
    const pid_t done = ::waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      break;
    }
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
  return status_;
}

std::string ChildProcess::Stdout() const {
  return ReadText(stdout_path_);
}

std::string ChildProcess::Stderr() const {
  return ReadText(stderr_path_);
}

bool ChildProcess::WaitForStdout(const std::function<bool(const std::string&)>& ready,
                                 std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  for (;;) {
    if (ready(Stdout())) return true;
    if (Clock::now() >= end || WaitForExit(std::chrono::milliseconds(0))) return ready(Stdout());
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace testsupport
