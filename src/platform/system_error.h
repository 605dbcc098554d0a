#pragma once
// The calling thread's last OS error and its text, for error messages.
#include <string>

namespace platform {

int LastError();
std::string SystemErrorText(int code);

}  // namespace platform
