#include "e2e/e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
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

std::vector<uint8_t> MakeImage(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<uint8_t> PaddedToBlocks(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> padded = image;
  padded.resize((image.size() + 23) / 24 * 24, 0);
  return padded;
}

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

bool ChildProcess::WaitForStdout(const std::function<bool(const std::string&)>& ready,
                                 std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  for (;;) {
    if (ready(Stdout())) return true;
    if (Clock::now() >= end || WaitForExit(std::chrono::milliseconds(0))) return ready(Stdout());
    std::this_thread::sleep_for(kPollInterval);
  }
}

CliResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& runtime_dir,
                 std::chrono::milliseconds limit) {
  ChildProcess cli(QUARNEL_CLI, args, runtime_dir, runtime_dir, "cli");
  CliResult result;
  if (const auto status = cli.WaitForExit(limit)) result.exit_status = *status;
  result.stdout_lines = SplitLines(cli.Stdout());
  result.stderr_text = cli.Stderr();
  return result;
}

namespace {

std::vector<std::string> SimArguments(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"--name", "sim0", "--verbose", "--image-out",
                             (dir.path() / "received.bin").string()});
  return args;
}

}  // namespace

Simulator::Simulator(const TempDir& dir, const std::vector<std::string>& args)
    : image_path_(dir.path() / "received.bin"),
      process_(QUARNEL_TARGET_SIM, SimArguments(dir, args), dir.path(), dir.path(), "sim") {
  // Its first line on stdout is the published port.
  if (!process_.WaitForStdout(
          [](const std::string& out) { return out.find('\n') != std::string::npos; },
          std::chrono::seconds(5))) {
    throw std::runtime_error("the simulator published no port: " + process_.Stderr());
  }
  const std::string out = process_.Stdout();
  port_ = out.substr(0, out.find('\n'));
}

int Simulator::Stop() {
  process_.Signal(SIGTERM);
  return process_.WaitForExit(std::chrono::seconds(5)).value_or(-1);
}

std::vector<std::string> Simulator::ReceivedRecords() const {
  // Verbose log lines: "hh:mm:ss.mmm <- RECORD\r\n", control characters escaped.
  static const std::string kReceived = " <- ";
  static const std::string kLineEnd = "\\r\\n";
  std::vector<std::string> records;
  for (const std::string& line : SplitLines(process_.Stderr())) {
    const size_t at = line.find(kReceived);
    if (at == std::string::npos) continue;
    std::string record = line.substr(at + kReceived.size());
    if (record.size() >= kLineEnd.size() &&
        record.compare(record.size() - kLineEnd.size(), kLineEnd.size(), kLineEnd) == 0) {
      record.resize(record.size() - kLineEnd.size());
    }
    records.push_back(record);
  }
  return records;
}

int CommandCode(const std::string& record) {
  if (record.size() != 11 || record[0] != ':') return -1;
  return std::stoi(record.substr(7, 2), nullptr, 16);
}

bool IsDataRecord(const std::string& record) {
  return !record.empty() && record[0] == '*';
}

int CountIf(const std::vector<std::string>& items,
            const std::function<bool(const std::string&)>& predicate) {
  return static_cast<int>(std::count_if(items.begin(), items.end(), predicate));
}

}  // namespace e2e
