#pragma once
// The loader link's view of the window's serial component.
#include "link/link_port.h"

namespace comm {
class TVaCustomComm;
}

namespace quarnel {

class VaCommLinkPort : public LinkPort {
 public:
  explicit VaCommLinkPort(comm::TVaCustomComm& comm) : comm_(comm) {}
  bool WriteText(const std::string& text) override;
  std::string ReadText() override;
  bool IsOpen() const override;

 private:
  comm::TVaCustomComm& comm_;
};

}  // namespace quarnel
