#pragma once
#include <string>

namespace quarnel::cli {

// The text of --help.
std::string HelpText();

}  // namespace quarnel::cli
