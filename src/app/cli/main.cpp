// quarnel-cli: the guided sequence of the Quarnel window without a display.
#include <string>
#include <vector>

#include "app/cli/command_line.h"
#include "platform/command_line.h"
#include "platform/standard_streams.h"
#include "station/exit_status.h"

int main(int argc, char** argv) {
  // Before anything is opened: a port must never become standard output.
  if (!platform::EnsureStandardStreamsOpen()) return quarnel::kExitFailed;
  return quarnel::cli::RunCommandLine(platform::CommandLineArguments(argc, argv));
}
