#pragma once
// The virtual-port directory: simulated targets publish their pseudo-terminal
// there as a symbolic link, and the port list shows those entries after the
// machine's own ports.
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// $XDG_RUNTIME_DIR/quarnel/ports when XDG_RUNTIME_DIR is set, else
// /tmp/quarnel-<uid>/ports.
std::filesystem::path VirtualPortDirectory();

// Creates the directory (mode 0700) when missing and links `name` to
// `target`, replacing a stale link of that name. Returns the link's path;
// throws std::system_error on failure.
std::filesystem::path PublishVirtualPort(const std::string& name, const std::string& target);

// Removes the link `name` if present; never throws.
void UnpublishVirtualPort(const std::string& name) noexcept;

// The entries of the directory whose link target exists, in natural order,
// as full paths (each opens as a device name).
std::vector<std::string> ListVirtualPorts();

}  // namespace platform
