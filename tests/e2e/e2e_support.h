#pragma once
// Helpers for the end-to-end tests: temporary directories, images, child
// processes with their output in files, and the simulated target.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace e2e {

using testsupport::TempDir;

std::vector<uint8_t> MakeImage(size_t size, uint32_t seed);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
std::vector<std::string> SplitLines(const std::string& text);
// What the target should have kept: the image in whole 24-byte blocks, the
// last one filled with zeros.
std::vector<uint8_t> PaddedToBlocks(const std::vector<uint8_t>& image);

// A program run with XDG_RUNTIME_DIR set to `runtime_dir`, stdout and stderr
// going to files in `output_dir` named after `label`.
class ChildProcess {
 public:
  enum class Streams { kToFiles, kClosed };
  // kClosed: it starts with standard output and error closed.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& runtime_dir, const std::filesystem::path& output_dir,
               const std::string& label, Streams streams = Streams::kToFiles);
  ~ChildProcess();  // kills it if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Signal(int signal_number);
  // Exit status, 128 + the signal for one killed by a signal; none on time-out.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);
  std::string Stdout() const { return ReadText(stdout_path_); }
  std::string Stderr() const { return ReadText(stderr_path_); }
  // Waits until `ready(stdout)` holds; false on time-out or when the process ended first.
  bool WaitForStdout(const std::function<bool(const std::string&)>& ready,
                     std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::filesystem::path stdout_path_;
  std::filesystem::path stderr_path_;
};

struct CliResult {
  int exit_status = -1;  // -1: did not end in time (then killed)
  std::vector<std::string> stdout_lines;
  std::string stderr_text;
};

// Runs quarnel-cli to its end.
CliResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& runtime_dir,
                 std::chrono::milliseconds limit = std::chrono::seconds(60));

// quarnel-target-sim as "sim0" in `dir` (its virtual-port directory lives
// there too), logging verbosely and keeping what it receives.
class Simulator {
 public:
  Simulator(const TempDir& dir, const std::vector<std::string>& args);
  const std::string& port() const { return port_; }
  // Ends it (SIGTERM); it saves the received image on the way out.
  int Stop();
  // The records the target received, in order, without their line end.
  std::vector<std::string> ReceivedRecords() const;
  // The data blocks it kept (after Stop() or a reset).
  std::vector<uint8_t> ReceivedImage() const { return ReadBytes(image_path_); }
  std::string Log() const { return process_.Stderr(); }

 private:
  std::filesystem::path image_path_;
  ChildProcess process_;
  std::string port_;
};

// Record helpers: the command code of a command record (":" records), or -1.
int CommandCode(const std::string& record);
bool IsDataRecord(const std::string& record);
int CountIf(const std::vector<std::string>& items,
            const std::function<bool(const std::string&)>& predicate);

}  // namespace e2e
