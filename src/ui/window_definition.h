#pragma once
// The parts of the main window that are defined as text, read when the
// window is made: the serial component's fixed settings.
#include <string_view>

namespace quarnel {

// Line feed ends every answer of the target and is the event character; no
// flow control at all; the device name is replaced before each open.
std::string_view VaCommDefinition();

}  // namespace quarnel
