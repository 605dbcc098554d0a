#include "ui/vacomm_link_port.h"

#include "comm/VaComm.h"

namespace quarnel {

bool VaCommLinkPort::WriteText(const std::string& text) {
  return comm_.WriteText(text);
}

std::string VaCommLinkPort::ReadText() {
  return comm_.ReadText();
}

}  // namespace quarnel
