// Feeds arbitrary received text to the main window's response handling: the
// first byte's low bit picks the layout, the whole input is what the port
// returns at the notification. Whatever the text, it must end in one of the
// decoder's own outcomes without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "link/link_port.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace {

class FuzzPort : public quarnel::LinkPort {
 public:
  bool WriteText(const std::string&) override { return true; }
  // The input once, then nothing (as for a checksum error's second read).
  std::string ReadText() override { return std::exchange(pending, {}); }
  bool IsOpen() const override { return true; }
  std::string pending;
};

quarnel::TForm1::Environment Environment(quarnel::LinkPort& port) {
  quarnel::TForm1::Environment environment;
  environment.list_ports = [] { return std::vector<std::string>{}; };
  environment.port = &port;
  environment.clock_text = [] { return std::string("00:00:00"); };
  return environment;
}

struct Harness {
  Harness() : loop(tk::HeadlessEventLoop::Clock::Virtual), form(Environment(port)) {}
  tk::HeadlessEventLoop loop;
  FuzzPort port;
  quarnel::TForm1 form;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness harness;
  if (size == 0) {
    harness.port.pending.clear();
  } else {
    harness.form.EngineeringMode = data[0] & 1;
    harness.port.pending.assign(reinterpret_cast<const char*>(data), size);
  }
  // The decoder compares with the last sequence sent; keep it reachable.
  harness.form.Link.SequenceNumber = 0;
  harness.form.HandleReceivedLine();
  return 0;
}
