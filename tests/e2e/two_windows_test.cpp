// Two window models in one process, each on its own simulated target: the
// link state belongs to each window, so one window's records never take the
// other's sequence numbers, whether they run one after the other or at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "e2e/e2e_support.h"
#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace e2e {
namespace {

using ::testing::Contains;

// The file dialog of each window answers with that window's image.
class ImagePerWindow : public tk::DialogService {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override {
    dialog.FileName = images.at(dialog.Owner());
    return true;
  }
  std::map<const tk::TComponent*, std::string> images;
  std::vector<std::string> messages;
};

// The window's own serial port; no machine ports listed.
quarnel::TForm1::Environment NoPortList() {
  quarnel::TForm1::Environment environment;
  environment.list_ports = [] { return std::vector<std::string>{}; };
  return environment;
}

// One unit: a simulator in its own directory, an image, a window.
struct Unit {
  Unit(ImagePerWindow& dialogs, size_t image_size, uint32_t seed)
      : sim(dir.path(), {"--erase-ms", "5"}),
        image(MakeImage(image_size, seed)),
        form(std::make_unique<quarnel::TForm1>(NoPortList())) {
    WriteBytes(dir.path() / "image.cry", image);
    dialogs.images[form.get()] = (dir.path() / "image.cry").string();
  }
  // The guided sequence as the operator starts it: the port, then Connect.
  void Start() {
    form->CCommPort.SetText(sim.port());
    form->CCommPortClick(&form->CCommPort);
    tk::RunGuarded([this] { form->ButConnectProgram.Click(); });
  }
  bool Done() const {
    const auto& lines = form->Memo1.Lines();
    return form->connect.Caption() == "Connect" &&
           std::find(lines.begin(), lines.end(), "Device Reset") != lines.end();
  }

  TempDir dir;
  Simulator sim;
  std::vector<uint8_t> image;
  std::unique_ptr<quarnel::TForm1> form;
};

class TwoWindows : public ::testing::Test {
 protected:
  TwoWindows() { tk::Application::Instance().SetDialogService(&dialogs); }
  ~TwoWindows() override { tk::Application::Instance().SetDialogService(nullptr); }

  // Each target saw its own numbering: commands and data records from 0001
  // on, one after the other, and its own image byte for byte.
  static void ExpectOwnSequence(Unit& unit) {
    ASSERT_EQ(unit.sim.Stop(), 0);
    const auto records = unit.sim.ReceivedRecords();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().substr(1, 4), "0001");
    int data = 0;
    for (size_t i = 1; i < records.size(); ++i) {
      const int previous = std::stoi(records[i - 1].substr(1, 4), nullptr, 16);
      const int current = std::stoi(records[i].substr(1, 4), nullptr, 16);
      if (IsDataRecord(records[i]) && ++data == 1) {
        EXPECT_EQ(current, 1) << "a programming run starts its numbering again";
      } else {
        EXPECT_EQ(current, previous + 1) << records[i];
      }
    }
    EXPECT_EQ(unit.sim.ReceivedImage(), PaddedToBlocks(unit.image));
    EXPECT_THAT(unit.form->Memo1.Lines(), Contains("Programming Complete"));
    for (const std::string& line : unit.form->Memo1.Lines()) {
      EXPECT_EQ(line.find("Incorrect sequence"), std::string::npos) << line;
    }
  }

  tk::HeadlessEventLoop loop{tk::HeadlessEventLoop::Clock::Real};
  ImagePerWindow dialogs;
};

TEST_F(TwoWindows, ProgramTheirTargetsOneAfterTheOther) {
  Unit first(dialogs, 10 * 24, 1);
  Unit second(dialogs, 7 * 24 + 5, 2);
  first.Start();
  ASSERT_TRUE(loop.RunUntil([&] { return first.Done(); }, 30000));
  second.Start();
  ASSERT_TRUE(loop.RunUntil([&] { return second.Done(); }, 30000));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{});
  ExpectOwnSequence(first);
  ExpectOwnSequence(second);
}

TEST_F(TwoWindows, ProgramTheirTargetsAtOnce) {
  Unit first(dialogs, 12 * 24, 3);
  Unit second(dialogs, 9 * 24 + 1, 4);
  first.Start();
  second.Start();
  ASSERT_TRUE(loop.RunUntil([&] { return first.Done() && second.Done(); }, 30000));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{});
  ExpectOwnSequence(first);
  ExpectOwnSequence(second);
}

}  // namespace
}  // namespace e2e
