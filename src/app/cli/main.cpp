// quarnel-cli: the guided sequence of the Quarnel window without a display.
#include <string>
#include <vector>

#include "app/cli/command_line.h"
#include "app/cli/exit_status.h"
#include "platform/command_line.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
  // Before anything is opened: a port must never become standard output.
  if (!platform::EnsureStandardStreamsOpen()) return quarnel::cli::kExitFailed;
  return quarnel::cli::RunCommandLine(platform::CommandLineArguments(argc, argv));
}
