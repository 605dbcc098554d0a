#pragma once
// Qt key codes as the Windows virtual-key codes the window's handlers expect.
#include <Qt>
#include <cstdint>

#include "toolkit/controls.h"

namespace tk {

// 0 for a key without a virtual-key code here.
uint16_t VirtualKeyFromQt(int qt_key);
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

}  // namespace tk
