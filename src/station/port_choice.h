#pragma once
// Choosing the port as the operator does in the guided panel.
#include <string>
#include <vector>

namespace quarnel::station {

// The index of the port list entry that `device` names: the entry itself, or,
// for a bare name such as "sim0", the one entry whose last path part it is
// (the simulator's virtual ports are listed as full paths). -1 when none does,
// and the name is then typed into the list's text as it stands.
int FindPortEntry(const std::vector<std::string>& entries, const std::string& device);

}  // namespace quarnel::station
