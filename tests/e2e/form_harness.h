#pragma once
// A TForm1 driven in the test's own process, without a display, against a
// real port: the headless loop, a file dialog that answers with the given
// image, and a record of every status line and message box.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace e2e {

class FormHarness : public tk::DialogService {
 public:
  FormHarness(tk::HeadlessEventLoop::Clock clock, std::string image_path);
  ~FormHarness() override;

  quarnel::TForm1& form() { return *form_; }
  tk::HeadlessEventLoop& loop() { return loop_; }

  // Opens `port` with Connect (the file dialog answers with the image) and
  // stops the guided timer at once, so each operation is started by the test.
  void ConnectWithoutGuidedFlow(const std::string& port);
  // As the operator does it in the guided panel: the port typed into the
  // list as if picked, then Connect/Program device; the guided timer runs.
  void ConnectGuided(const std::string& port);

  // Virtual clock: runs until `done()`, moving the clock on to the next due
  // timer whenever no line has arrived for `quiet` of real time (the target
  // has had its time to answer); false after `limit` of real time.
  bool RunVirtualUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(30),
                       std::chrono::milliseconds quiet = std::chrono::milliseconds(100));

  // Runs the loop until `line` has been appended to the status display since
  // the last Mark(); false after `limit`.
  bool RunUntilLine(const std::string& line,
                    std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Runs the loop for a while, for what must not happen.
  void RunFor(std::chrono::milliseconds period);
  void Mark() { mark_ = lines_.size(); }
  // Every status line appended since the last Mark() (the display itself
  // keeps only the last 101).
  std::vector<std::string> LinesSinceMark() const;
  const std::vector<std::string>& messages() const { return messages_; }

  void ShowMessage(const std::string& text) override {
    messages_.push_back(text);
    if (while_message_open) while_message_open();
  }
  // What goes on while a message box is open (its loop runs timers).
  std::function<void()> while_message_open;
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override;

 private:
  tk::HeadlessEventLoop loop_;
  std::string image_path_;
  std::vector<std::string> lines_;
  size_t mark_ = 0;
  std::vector<std::string> messages_;
  size_t lines_received_ = 0;  // event-character notifications of the port
  std::unique_ptr<quarnel::TForm1> form_;
};

}  // namespace e2e
