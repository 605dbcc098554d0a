#pragma once
// A TForm1 driven in the test's own process, without a display, against a
// real port: the headless loop, a file dialog that answers with the given
// image, and a record of every status line and message box.
#include <chrono>
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

  void ShowMessage(const std::string& text) override { messages_.push_back(text); }
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override;

 private:
  tk::HeadlessEventLoop loop_;
  std::string image_path_;
  std::vector<std::string> lines_;
  size_t mark_ = 0;
  std::vector<std::string> messages_;
  std::unique_ptr<quarnel::TForm1> form_;
};

}  // namespace e2e
