#pragma once
// Port spellings resolved at the moment they are used, so a slot keeps
// naming the same place while adapters come and go: a different adapter
// plugged into the same socket is the slot's device from then on, and a
// replugged one is found again under whatever name it got.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/port_details.h"

namespace platform {

// The start of a spelling that names a USB socket: "usb-path:1-1.2".
inline constexpr std::string_view kUsbPathPrefix = "usb-path:";

// Raised when a place holds several serial ports (a multi-port adapter);
// the message names them and how to spell each one.
class AmbiguousPortPlace : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The device that `spelling` names now, as a device name that opens it; none
// when nothing is there now.
//  - "usb-path:PLACE": the port whose adapter sits at PLACE. Linux: a USB
//    port path ("1-1.2"), with the interface for one port of a multi-port
//    adapter ("1-1.2:1.1"); the result is its device node. Windows: the
//    location information ("Port_#0004.Hub_#0006") or the location path, in
//    any letter case; the result is its COM name. Throws AmbiguousPortPlace
//    when PLACE holds several ports.
//  - Linux: a /dev/serial/by-path link: the device it leads to now.
//  - the name of a virtual port ("sim0"): its entry, while its simulator
//    runs; Linux: the bare name of a /dev/serial/by-id link: that link.
//  - any other spelling as ResolveDeviceName makes it, when that exists.
//    Windows: a COM port the system has now, in its serial-port map or its
//    device namespace (under Wine, a port that is only a link in the prefix
//    is in neither: enter it in the map); a path is taken as present. The
//    result is the spelling as given.
std::optional<std::string> ResolvePort(const std::string& spelling);

// Linux: the same over another sysfs and /dev root (tests use a fake tree).
std::optional<std::string> ResolvePort(const std::string& spelling,
                                       const std::filesystem::path& sys_root,
                                       const std::filesystem::path& dev_root);

// What two resolved devices have in common exactly when they are one device,
// so two slots on one device can be refused: Linux the canonical path (the
// device itself when it cannot be resolved), Windows the COM name in capitals
// without the "\\.\" prefix.
std::string DeviceIdentity(const std::string& device);

// The device of the one port of `ports` at `place` (a location, a location
// with its interface, or a location path; letter case ignored); none when no
// port is there. Throws AmbiguousPortPlace when several are.
std::optional<std::string> FindPortAtPlace(const std::vector<PortDetails>& ports,
                                           std::string_view place);

// Sets each port's `place`: the first of its location, its location with
// the interface, and its location path that no other port shares.
void AssignPlaces(std::vector<PortDetails>& ports);

}  // namespace platform
