#pragma once
// What the tests of the target commands and the programming run share: a
// window on a virtual clock, a port that records every text written to it
// and hands out prepared answers, and a file dialog that answers as told.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "link/link_port.h"
#include "link/records.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace quarnel::ops_test {

class RecordingPort : public LinkPort {
 public:
  bool WriteText(const std::string& text) override {
    if (!open) return false;  // a closed port: the text goes nowhere
    written.push_back(text);
    return true;
  }
  std::string ReadText() override { return std::exchange(incoming, std::string()); }

  bool open = true;
  std::vector<std::string> written;
  std::string incoming;
};

class ScriptedDialogs : public tk::DialogService {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override {
    ++open_dialogs;
    seen_filter = dialog.Filter;
    seen_default_ext = dialog.DefaultExt;
    seen_options_ex = dialog.OptionsEx;
    if (chosen_path.empty()) return false;
    dialog.FileName = chosen_path;
    return true;
  }

  std::string chosen_path;  // empty: the operator cancels
  int open_dialogs = 0;
  std::string seen_filter, seen_default_ext;
  uint32_t seen_options_ex = 0;
  std::vector<std::string> messages;
};

// A response record as the target sends it, checksum and line end included.
inline std::string ResponseRecord(uint16_t sequence, uint8_t code, uint16_t status,
                                  uint16_t target_id = 0x1A2B) {
  const int sum = (target_id >> 8) + (target_id & 0xFF) + (sequence >> 8) + (sequence & 0xFF) +
                  code + (status >> 8) + (status & 0xFF);
  const auto hex16 = [](uint16_t v) { return ByteToHex(v >> 8) + ByteToHex(v & 0xFF); };
  return "!" + hex16(target_id) + hex16(sequence) + ByteToHex(code) + hex16(status) +
         ByteToHex(static_cast<uint8_t>(-sum)) + "\r\n";
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

class OperationsTest : public ::testing::Test {
 protected:
  OperationsTest() {
    tk::Application::Instance().SetDialogService(&dialogs);
    tk::Application::Instance().SetExceptionHandler([this](std::exception_ptr error, tk::TObject*) {
      reported_errors.push_back(tk::ExceptionMessage(error));
    });
    form = std::make_unique<TForm1>(Environment());
    // Tests of these operations look at the guided timer's state only; its
    // own handler is tested with the guided flow.
    form->LSCProgramTimer.OnTimer = nullptr;
  }

  ~OperationsTest() override {
    form.reset();
    tk::Application::Instance().SetExceptionHandler(nullptr);
    tk::Application::Instance().SetDialogService(nullptr);
  }

  TForm1::Environment Environment() {
    TForm1::Environment environment;
    environment.list_ports = [] { return std::vector<std::string>{}; };
    environment.port = &port;
    environment.clock_text = [] { return std::string("12:34:56"); };
    return environment;
  }

  // The target's answer to the record sent last, through the window's own
  // reception path, as the port's event-character notification delivers it.
  void Answer(uint8_t code, uint16_t status) {
    Deliver(ResponseRecord(form->Link.SequenceNumber, code, status));
  }
  void Deliver(const std::string& text) {
    port.incoming = text;
    tk::RunGuarded([this] { form->VaCommRxFlag(); });
  }

  // Lines appended to the status display since `mark`.
  std::vector<std::string> LinesSince(size_t mark) const {
    const auto& lines = form->Memo1.Lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(mark, lines.size())), lines.end()};
  }
  size_t Mark() const { return form->Memo1.Lines().size(); }
  bool Logged(const std::string& line) const {
    const auto& lines = form->Memo1.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  tk::HeadlessEventLoop loop{tk::HeadlessEventLoop::Clock::Virtual};
  RecordingPort port;
  ScriptedDialogs dialogs;
  std::vector<std::string> reported_errors;
  std::unique_ptr<TForm1> form;
};

// A file in a fresh temporary directory, removed with it.
class TempImage {
 public:
  explicit TempImage(const std::vector<uint8_t>& bytes, const std::string& name = "image.cry") {
    // Test processes may run side by side: each takes a directory of its own.
    std::random_device random;
    dir_ = std::filesystem::temp_directory_path() /
           ("quarnel-ops-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / name).string();
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ~TempImage() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string missing_path() const { return (dir_ / "missing.cry").string(); }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

// Bytes 1, 2, 3, ... so that every block differs from the next.
inline std::vector<uint8_t> CountingBytes(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  return bytes;
}

}  // namespace quarnel::ops_test
