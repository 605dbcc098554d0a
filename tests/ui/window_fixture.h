#pragma once
// The window of the window model tests: a TForm1 on a headless event loop with a
// virtual clock, the fake link port, a fixed port list and clock, a file
// dialog and message boxes answered by a fake dialog service (an error that
// escapes a handler is one of its messages, as the general error report
// shows it), and a temporary directory for images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_link_port.h"
#include "link/records.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace quarnel::testing {

using testsupport::CountingBytes;
using testsupport::TempDir;

class FakeDialogs : public tk::DialogService {
 public:
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    if (while_message_open) while_message_open();
  }
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override {
    ++dialogs_shown;
    if (while_dialog_open) while_dialog_open();
    seen_filter = dialog.Filter;
    seen_default_ext = dialog.DefaultExt;
    seen_options_ex = dialog.OptionsEx;
    if (chosen_file.empty()) return false;
    dialog.FileName = chosen_file;
    return true;
  }

  std::string chosen_file;  // empty: the operator cancels
  int dialogs_shown = 0;
  std::string seen_filter, seen_default_ext;
  uint32_t seen_options_ex = 0;
  std::vector<std::string> messages;
  // What goes on while a modal box is open (its loop runs timers and calls).
  std::function<void()> while_message_open;
  std::function<void()> while_dialog_open;
};

// The status word of a target in its loader mode.
inline constexpr uint16_t kLoaderMode = 0x4000;

// Records as the target and the host write them, built here independently
// of the code under test: checksum and line end included.
inline std::string ResponseRecord(uint16_t sequence, uint8_t code, uint16_t status,
                                  uint16_t target_id = 0x1A2B,
                                  const std::string& line_end = "\r\n") {
  const int sum = (target_id >> 8) + (target_id & 0xFF) + (sequence >> 8) + (sequence & 0xFF) +
                  code + (status >> 8) + (status & 0xFF);
  const auto hex16 = [](uint16_t v) { return ByteToHex(v >> 8) + ByteToHex(v & 0xFF); };
  return "!" + hex16(target_id) + hex16(sequence) + ByteToHex(code) + hex16(status) +
         ByteToHex(static_cast<uint8_t>(-sum)) + line_end;
}

inline std::string CommandRecord(uint16_t sequence, uint8_t code) {
  const int sum = (sequence >> 8) + (sequence & 0xFF) + 1 + code;
  return ":" + ByteToHex(sequence >> 8) + ByteToHex(sequence & 0xFF) + "01" + ByteToHex(code) +
         ByteToHex(static_cast<uint8_t>(-sum)) + "\r\n";
}

// The sequence number a record carries.
inline uint16_t SequenceOf(const std::string& record) {
  return static_cast<uint16_t>(HexToInt(record.substr(1, 4)));
}

// The 24 block bytes of a data record.
inline std::vector<uint8_t> PayloadOf(const std::string& record) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < BlockSize; ++i) {
    bytes.push_back(static_cast<uint8_t>(HexToInt(record.substr(5 + 2 * i, 2))));
  }
  return bytes;
}

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    tk::Application::Instance().SetDialogService(&dialogs);
    form = std::make_unique<TForm1>(Environment());
  }
  ~WindowTest() override {
    form.reset();
    tk::Application::Instance().SetDialogService(nullptr);
  }

  TForm1::Environment Environment() {
    TForm1::Environment environment;
    environment.list_ports = [this] { return ports; };
    environment.port = &port;
    environment.clock_text = [this] { return clock; };
    return environment;
  }

  // A text arrives: the port serves it at the next read, then the port's
  // event-character notification runs, as the window's own port delivers it.
  void Receive(const std::string& text) {
    port.incoming.push_back(text);
    tk::RunGuarded([this] { form->VaCommRxFlag(); });
  }
  // The target's answer to the record sent last.
  std::string AnswerText(uint8_t code, uint16_t status) const {
    return ResponseRecord(form->Link.SequenceNumber, code, status);
  }
  void Answer(uint8_t code, uint16_t status) { Receive(AnswerText(code, status)); }

  void PressF12() {
    uint16_t key = tk::VK_F12;
    form->KeyDown(key, 0);
  }

  const std::vector<std::string>& Status() const { return form->Memo1.Lines(); }
  size_t Mark() const { return Status().size(); }
  // Lines appended to the status display since `mark`.
  std::vector<std::string> LinesSince(size_t mark) const {
    const auto& lines = Status();
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(mark, lines.size())), lines.end()};
  }
  bool Logged(const std::string& line) const {
    return std::find(Status().begin(), Status().end(), line) != Status().end();
  }

  // An image file in the test's directory; its path.
  std::string Image(const std::vector<uint8_t>& bytes, const std::string& name = "image.cry") {
    const auto path = dir.path() / name;
    testsupport::WriteBytes(path, bytes);
    return path.string();
  }
  std::string MissingImage() const { return (dir.path() / "missing.cry").string(); }

  tk::HeadlessEventLoop loop{tk::HeadlessEventLoop::Clock::Virtual};
  FakeLinkPort port;
  FakeDialogs dialogs;
  std::vector<std::string> ports{"COM3", "COM1"};
  std::string clock = "12:34:56";
  TempDir dir;
  std::unique_ptr<TForm1> form;
};

}  // namespace quarnel::testing
