#pragma once
// Helpers for the end-to-end tests: quarnel-cli run to its end, and reading
// the records the simulated target received.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/simulator.h"
#include "support/temp_dir.h"

namespace e2e {

using testsupport::ChildProcess;
using testsupport::MakeImage;
using testsupport::ReadBytes;
using testsupport::Simulator;
using testsupport::SplitLines;
using testsupport::TempDir;
using testsupport::WriteBytes;

// What the target should have kept: the image in whole 24-byte blocks, the
// last one filled with zeros.
std::vector<uint8_t> PaddedToBlocks(const std::vector<uint8_t>& image);

struct CliResult {
  int exit_status = -1;  // -1: did not end in time (then killed)
  std::vector<std::string> stdout_lines;
  std::string stderr_text;
};

// Runs quarnel-cli to its end.
CliResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& runtime_dir,
                 std::chrono::milliseconds limit = std::chrono::seconds(60));

// Record helpers: the command code of a command record (":" records), or -1.
int CommandCode(const std::string& record);
bool IsDataRecord(const std::string& record);
int CountIf(const std::vector<std::string>& items,
            const std::function<bool(const std::string&)>& predicate);

}  // namespace e2e
