#pragma once
#include <string_view>

namespace platform {

// Orders names the way people count: ttyUSB2 before ttyUSB10.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace platform
