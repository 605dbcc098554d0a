#pragma once
// The ports of a supervised run: those given with --port, then those of
// --ports-from, each with the earlier entry it repeats, if any.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quarnel::station {

struct StationPort {
  std::string name;                    // as given
  std::optional<size_t> duplicate_of;  // the index of the entry naming the same device
};

// The lines of a --ports-from file: one port a line; blanks around a name,
// empty lines and lines starting with '#' are left out.
std::vector<std::string> ParsePortsFile(const std::string& text);

// `identity` says which device a name stands for (two names for one device
// give the same text).
std::vector<StationPort> PlanPorts(const std::vector<std::string>& names,
                                   const std::function<std::string(const std::string&)>& identity);

// The device a port spelling stands for now (so that two spellings of one
// device compare equal); the spelling itself when nothing is there.
std::string PortIdentity(const std::string& name);

}  // namespace quarnel::station
