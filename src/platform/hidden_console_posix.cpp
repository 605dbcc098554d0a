#include "platform/hidden_console.h"

namespace platform {

void ShareHiddenConsoleWithChildren() {}

}  // namespace platform
