// quarnel-target-sim --version: the program's name and version on one line,
// and nothing else started.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <array>
#include <filesystem>
#include <regex>
#include <string>

#include "sim_options.h"
#include "support/temp_dir.h"

namespace targetsim {
namespace {

struct Finished {
  std::string out;
  int status = -1;
};

Finished RunShell(const std::string& command) {
  Finished finished;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return finished;
  std::array<char, 256> buffer{};
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    finished.out.append(buffer.data(), got);
  }
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
  return finished;
}

TEST(SimVersion, PrintsNameAndVersionWithoutPublishingAPort) {
  testsupport::TempDir runtime;
  const std::string sim = QUARNEL_TARGET_SIM;
  // Given after a valid option, as in a command line that was being edited.
  const auto version = RunShell("XDG_RUNTIME_DIR='" + runtime.path().string() + "' '" + sim +
                                "' --name ver --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(
      std::regex_match(version.out, std::regex("quarnel-target-sim [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
  EXPECT_FALSE(std::filesystem::exists(runtime.path() / "quarnel" / "ports" / "ver"))
      << "--version must not start a simulator";

  const auto help = RunShell("'" + sim + "' --help");
  EXPECT_NE(help.out.find("  --version"), std::string::npos) << "--help lists --version";

  EXPECT_TRUE(std::holds_alternative<ShowVersion>(ParseOptions({"--baud", "9600", "--version"})));
}

}  // namespace
}  // namespace targetsim
