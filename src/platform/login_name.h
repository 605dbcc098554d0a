#pragma once
// Who is at the machine, for the records: the login name of the user that
// runs the program; empty when the system does not say.
#include <string>

namespace platform {

std::string LoginName();

}  // namespace platform
