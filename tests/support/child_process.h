#pragma once
// A program run as a child process for a test, with XDG_RUNTIME_DIR pointing
// at the test's own directory (so virtual ports never meet those of another
// test), its standard output and error going to files.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  enum class Streams { kToFiles, kClosed };
  // Output goes to `<output_dir>/<label>.out` and `.err`; with kClosed it
  // starts with standard output and error closed instead.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& runtime_dir, const std::filesystem::path& output_dir,
               const std::string& label, Streams streams = Streams::kToFiles);
  ~ChildProcess();  // kills it if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Signal(int signal_number);
  // Exit status, 128 + the signal for one killed by a signal; none on time-out.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);
  std::string Stdout() const;
  std::string Stderr() const;
  const std::filesystem::path& stderr_path() const { return stderr_path_; }
  // Waits until `ready(stdout)` holds; false on time-out or when the process ended first.
  bool WaitForStdout(const std::function<bool(const std::string&)>& ready,
                     std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::filesystem::path stdout_path_;
  std::filesystem::path stderr_path_;
};

}  // namespace testsupport
