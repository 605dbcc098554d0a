#include "support/simulator.h"

#include <signal.h>

#include <stdexcept>

#include "support/files.h"

namespace testsupport {
namespace {

std::vector<std::string> Arguments(const std::filesystem::path& image_path,
                                   const std::vector<std::string>& args,
                                   const Simulator::Options& options) {
  std::vector<std::string> all{"--name", options.name, "--image-out", image_path.string()};
  if (options.verbose) all.emplace_back("--verbose");
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

}  // namespace

Simulator::Simulator(const std::filesystem::path& dir, const std::vector<std::string>& args,
                     const Options& options)
    : image_path_(dir / (options.name + "-received.bin")),
      process_(QUARNEL_TARGET_SIM, Arguments(image_path_, args, options), dir, dir,
               "sim-" + options.name) {
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
  return WaitForExit(std::chrono::seconds(5));
}

void Simulator::Kill() {
  process_.Signal(SIGKILL);
  process_.WaitForExit(std::chrono::seconds(5));
}

int Simulator::WaitForExit(std::chrono::milliseconds limit) {
  const std::optional<int> status = process_.WaitForExit(limit);
  return status && *status < 128 ? *status : -1;
}

std::vector<std::string> Simulator::ReceivedRecords() const {
  // Verbose log lines: "hh:mm:ss.mmm <- RECORD\r\n", control characters escaped.
  static const std::string kReceived = " <- ";
  static const std::string kLineEnd = "\\r\\n";
  std::vector<std::string> records;
  for (const std::string& line : SplitLines(Log())) {
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

std::vector<uint8_t> Simulator::ReceivedImage() const {
  return ReadBytes(image_path_);
}

}  // namespace testsupport
