#pragma once
// The link port of the window model tests: it records every text written to it
// and serves the queued texts, one per ReadText, then empty texts.
#include <deque>
#include <string>
#include <vector>

#include "link/link_port.h"

namespace quarnel::testing {

class FakeLinkPort : public LinkPort {
 public:
  bool WriteText(const std::string& text) override {
    if (!open) return false;  // a closed port: the text goes nowhere
    writes.push_back(text);
    return true;
  }
  bool IsOpen() const override { return open; }
  std::string ReadText() override {
    if (incoming.empty()) return {};
    std::string text = std::move(incoming.front());
    incoming.pop_front();
    return text;
  }

  bool open = true;
  std::vector<std::string> writes;
  std::deque<std::string> incoming;
};

}  // namespace quarnel::testing
