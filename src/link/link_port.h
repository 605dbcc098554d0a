#pragma once
// The narrow view of the serial port that the loader logic needs: one record
// out as one text, everything received so far in.
#include <string>

namespace quarnel {

class LinkPort {
 public:
  virtual ~LinkPort() = default;
  // Queues the whole text; true when every character was accepted.
  virtual bool WriteText(const std::string& text) = 0;
  // Everything waiting in the receive queue; empty when nothing waits.
  virtual std::string ReadText() = 0;
  // Records can go out: the port is open.
  virtual bool IsOpen() const = 0;
};

}  // namespace quarnel
