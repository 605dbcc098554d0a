#include "e2e/e2e_support.h"

#include <algorithm>

namespace e2e {

std::vector<uint8_t> PaddedToBlocks(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> padded = image;
  padded.resize((image.size() + 23) / 24 * 24, 0);
  return padded;
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
