#pragma once
// Device names as the operator types them.
#include <string>

namespace platform {

// A path (contains '/') as it stands; "COMn" (any case, n >= 1) as
// /dev/ttyS(n-1); any other bare name under /dev.
std::string ResolveDeviceName(const std::string& name);

}  // namespace platform
