#pragma once
// A main window on a headless event loop with a virtual clock, a fake link
// port, a fixed port list and a fixed clock; message boxes and the file
// dialog answered by a fake dialog service.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/VaComm.h"
#include "fake_link_port.h"
#include "link/records.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace quarnel::testing {

class FakeDialogs : public tk::DialogService {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override {
    ++dialogs_shown;
    if (chosen_file.empty()) return false;
    dialog.FileName = chosen_file;
    return true;
  }
  std::vector<std::string> messages;
  std::string chosen_file;
  int dialogs_shown = 0;
};

// A response record with a correct checksum.
inline std::string Response(uint16_t target_id, uint16_t sequence, uint8_t code, uint16_t status,
                            const std::string& line_end = "\r\n") {
  const int sum = (target_id >> 8) + (target_id & 0xFF) + (sequence >> 8) + (sequence & 0xFF) +
                  code + (status >> 8) + (status & 0xFF);
  return "!" + ByteToHex(target_id >> 8) + ByteToHex(target_id & 0xFF) + ByteToHex(sequence >> 8) +
         ByteToHex(sequence & 0xFF) + ByteToHex(code) + ByteToHex(status >> 8) +
         ByteToHex(status & 0xFF) + ByteToHex(static_cast<uint8_t>(-sum & 0xFF)) + line_end;
}

class FormTest : public ::testing::Test {
 protected:
  FormTest() {
    tk::Application::Instance().SetDialogService(&dialogs);
    form = MakeForm();
  }
  ~FormTest() override {
    form.reset();
    tk::Application::Instance().SetDialogService(nullptr);
  }

  std::unique_ptr<TForm1> MakeForm() {
    TForm1::Environment env;
    env.list_ports = [this] { return ports; };
    env.port = &port;
    env.clock_text = [this] { return clock; };
    return std::make_unique<TForm1>(std::move(env));
  }

  // A line arrives: the port serves it at the next read, then the
  // notification runs.
  void Receive(const std::string& text) {
    port.incoming.push_back(text);
    form->VaCommRxFlag(form->VaComm.get());
  }
  // The answer the target gives to the record sent last.
  std::string Answer(uint8_t code, uint16_t status) {
    return Response(0x1A2B, form->Link.SequenceNumber, code, status);
  }
  void PressF12() {
    uint16_t key = tk::VK_F12;
    form->KeyDown(key, 0);
  }
  const std::vector<std::string>& Status() const { return form->Memo1.Lines(); }
  size_t WritesCount() const { return port.writes.size(); }

  tk::HeadlessEventLoop loop{tk::HeadlessEventLoop::Clock::Virtual};
  FakeLinkPort port;
  FakeDialogs dialogs;
  std::vector<std::string> ports{"COM3", "COM1"};
  std::string clock = "12:34:56";
  std::unique_ptr<TForm1> form;
};

}  // namespace quarnel::testing
