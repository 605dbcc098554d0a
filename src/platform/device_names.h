#pragma once
// Device names as the operator types them.
#include <string>

namespace platform {

// The device path that `name` opens.
//
// Linux: the Windows device-namespace prefix "\\.\" is dropped; then a path
// (contains '/') stands as it is, "COMn" (any case, n >= 1) is
// /dev/ttyS(n-1), and any other bare name lies under /dev. A stale entry of
// the virtual-port directory (its simulator has gone) is removed on the way,
// so it opens as a missing device instead of reaching whatever
// pseudo-terminal has its number now.
//
// Windows: a name in the device namespace ("\\.\COM12") and a path (contains
// '\' or '/', or a drive's colon) stand as they are; any other name is a
// device in the device namespace: "COM3" opens as "\\.\COM3", the form that
// COM10 and above need and that serves every port. The colon of the old
// "COM3:" form is dropped.
std::string ResolveDeviceName(const std::string& name);

}  // namespace platform
