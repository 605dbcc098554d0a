#include "ui/vacomm_link_port.h"

#include "comm/VaComm.h"
#include "comm/VaSupport.h"

namespace quarnel {

bool VaCommLinkPort::WriteText(const std::string& text) {
  try {
    return comm_.WriteText(text);
  } catch (const comm::EVaCommError&) {
    // A device that has gone takes nothing; its own notification follows
    // and ends the sequence with one clear message (PortLost). Any other
    // error is the general error report's to show.
    if (comm_.DeviceGone()) return false;
    throw;
  }
}

std::string VaCommLinkPort::ReadText() {
  return comm_.ReadText();
}

bool VaCommLinkPort::IsOpen() const {
  return comm_.Active();
}

}  // namespace quarnel
