#pragma once
// A LinkPort for tests: records every text written and serves queued texts,
// one per ReadText, then empty texts.
#include <deque>
#include <string>
#include <vector>

#include "link/link_port.h"

namespace quarnel::testing {

class FakeLinkPort : public LinkPort {
 public:
  bool WriteText(const std::string& text) override {
    writes.push_back(text);
    return accept_writes;
  }
  std::string ReadText() override {
    ++reads;
    if (incoming.empty()) return {};
    std::string text = std::move(incoming.front());
    incoming.pop_front();
    return text;
  }

  std::vector<std::string> writes;
  std::deque<std::string> incoming;
  bool accept_writes = true;
  int reads = 0;
};

}  // namespace quarnel::testing
