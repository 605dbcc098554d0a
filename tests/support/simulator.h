#pragma once
// quarnel-target-sim for the tests and the benchmark: started in a
// directory of the test's own, which holds its virtual-port directory, its
// log and the image it keeps.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace testsupport {

class Simulator {
 public:
  struct Options {
    std::string name = "sim0";  // its virtual port's name
    bool verbose = true;        // every record and answer in its log
  };
  static Options Named(std::string name) {
    Options options;
    options.name = std::move(name);
    return options;
  }

  // Starts it with `args` after its name, --image-out and (verbose) --verbose,
  // and waits until it has published its port; throws when it does not.
  Simulator(const std::filesystem::path& dir, const std::vector<std::string>& args,
            const Options& options);
  Simulator(const std::filesystem::path& dir, const std::vector<std::string>& args)
      : Simulator(dir, args, Options{}) {}

  // The published port: a path in the virtual-port directory.
  const std::string& port() const { return port_; }
  // Ends it with SIGTERM (it saves the received image on the way out);
  // its exit status, -1 when it did not end normally.
  int Stop();
  // Ends it with SIGKILL, as a crash would: it cleans nothing up.
  void Kill();
  // Waits for it to end by itself; -1 on time-out or an abnormal end.
  int WaitForExit(std::chrono::milliseconds limit);

  std::string Log() const { return process_.Stderr(); }
  const std::filesystem::path& log_path() const { return process_.stderr_path(); }
  // The records it received, in order, without their line end (verbose only).
  std::vector<std::string> ReceivedRecords() const;
  // The data blocks it kept (after Stop() or a reset).
  const std::filesystem::path& image_path() const { return image_path_; }
  std::vector<uint8_t> ReceivedImage() const;

 private:
  std::filesystem::path image_path_;
  ChildProcess process_;
  std::string port_;
};

}  // namespace testsupport
