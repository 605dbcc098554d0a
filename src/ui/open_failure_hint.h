#pragma once
// What to tell the operator when a serial port can't be opened, beyond the
// component's own message.
#include <string>
#include <string_view>

namespace quarnel {

// One line saying what to do for a refused or busy port, judged from the
// system error in the component's open-failure message; empty otherwise.
std::string OpenFailureHint(std::string_view message);

}  // namespace quarnel
