#pragma once
// What to tell the operator when a serial port can't be opened, beyond the
// component's own message.
#include <string>

namespace quarnel {

// One line saying what to do for a refused or busy port, judged from the
// system error number that the component's open failure carries
// (EVaCommError::ErrorCode); empty otherwise.
std::string OpenFailureHint(int system_error);

}  // namespace quarnel
