// quarnel-cli: the guided sequence of the Quarnel window without a display.
#include <string>
#include <vector>

#include "app/cli/command_line.h"

int main(int argc, char** argv) {
  return quarnel::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
