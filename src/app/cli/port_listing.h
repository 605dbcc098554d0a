#pragma once
// quarnel-cli --list-ports --details: what the system knows about each port,
// as text or as JSON.
#include <string>
#include <vector>

#include "platform/port_details.h"

namespace quarnel::cli {

// Each port's device on a line of its own, then an indented line for each
// thing known about it; a blank line between ports.
std::string PortDetailsText(const std::vector<platform::PortDetails>& ports);

// One JSON object a line, one line per port, in the order of the ports;
// every field is there, null where nothing is known.
std::string PortDetailsJson(const std::vector<platform::PortDetails>& ports);

// Prints the machine's ports so on stdout; the exit status.
int ListPortDetails(bool json);

}  // namespace quarnel::cli
