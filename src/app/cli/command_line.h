#pragma once
#include <string>
#include <vector>

namespace quarnel::cli {

// The whole program: `args` without the program name; returns the exit status.
int RunCommandLine(const std::vector<std::string>& args);

}  // namespace quarnel::cli
