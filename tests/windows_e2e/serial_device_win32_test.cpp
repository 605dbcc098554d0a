// The Windows serial device talking to the simulated target on the port
// named by QUARNEL_TEST_PORT (e.g. COM7), which the test run maps to the
// simulator's pseudo-terminal (with_simulated_port.sh): a real record and its
// answer. Without a port the case is skipped. What the device promises on
// every system is checked by its contract cases (tests/serial_device).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>

#include "link/records.h"
#include "platform/device_names.h"
#include "platform/serial_device.h"
#include "platform/system_error.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// Collects the text that the link's record builder writes.
class RecordText : public quarnel::LinkPort {
 public:
  bool WriteText(const std::string& text) override {
    text_ += text;
    return true;
  }
  std::string ReadText() override { return {}; }
  bool IsOpen() const override { return true; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string CaptureRecord() {
  quarnel::LinkState link;
  RecordText record;
  quarnel::SendCommand(link, 3, record);
  return record.text();
}

class SerialDeviceWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("QUARNEL_TEST_PORT");
    if (port == nullptr || *port == '\0') GTEST_SKIP() << "no port (QUARNEL_TEST_PORT)";
    port_ = port;
    device_ = SerialDevice::Open(ResolveDeviceName(port_));
    ASSERT_TRUE(device_) << port_ << ": " << SystemErrorText(LastError());
    Dcb dcb;
    dcb.BaudRate = 115200;
    dcb.Flags = kFBinary | kFDtrControlEnable | kFRtsControlEnable;
    dcb.ByteSize = 8;
    dcb.Parity = kParityNone;
    dcb.StopBits = kStopBitsOne;
    dcb.EvtChar = '\n';  // the end of every answer
    ASSERT_TRUE(device_->SetState(dcb)) << SystemErrorText(LastError());
    ASSERT_TRUE(device_->SetupQueues(4096, 2048));
    ASSERT_TRUE(device_->SetMask(kEvRxChar | kEvRxFlag | kEvErr));
  }

  // Waits for events until `wanted` has been seen, for at most `limit`.
  uint32_t WaitFor(uint32_t wanted, std::chrono::milliseconds limit) {
    ManualResetEvent give_up;
    ManualResetEvent done;
    auto guard = std::async(std::launch::async, [&] {
      if (done.Wait(static_cast<uint32_t>(limit.count())) != WaitResult::Signaled) give_up.Signal();
    });
    uint32_t seen = 0;
    while ((seen & wanted) != wanted && !give_up.IsSignaled()) {
      uint32_t occurred = 0;
      if (!device_->WaitCommEvent(&occurred, give_up)) break;
      seen |= occurred;
    }
    done.Signal();
    guard.wait();
    return seen;
  }

  std::string port_;
  std::unique_ptr<SerialDevice> device_;
};

// Wine never reports the event character itself; the device finds it in what
// arrives, and counts the queue exactly, as the Linux device does.
TEST_F(SerialDeviceWin32, AnAnswerRaisesTheEventCharacterAndIsCountedAndReadWhole) {
  const std::string record = CaptureRecord();
  ASSERT_EQ(device_->Write(record.data(), static_cast<int>(record.size()), nullptr, 2000),
            static_cast<int>(record.size()))
      << SystemErrorText(LastError());

  const uint32_t seen = WaitFor(kEvRxChar | kEvRxFlag, 5000ms);
  EXPECT_EQ(seen & (kEvRxChar | kEvRxFlag), kEvRxChar | kEvRxFlag);

  uint32_t errors = 0xFFFF;
  ComStat status;
  ASSERT_TRUE(device_->ClearError(&errors, &status)) << SystemErrorText(LastError());
  EXPECT_EQ(errors, 0u);
  ASSERT_GT(status.cbInQue, 0u);
  std::string answer(status.cbInQue + 8, '\0');
  const int got = device_->Read(answer.data(), static_cast<int>(answer.size()));
  ASSERT_EQ(got, static_cast<int>(status.cbInQue));
  answer.resize(static_cast<size_t>(got));
  EXPECT_EQ(answer.substr(answer.size() - 2), "\r\n") << answer;
  EXPECT_EQ(device_->Read(answer.data(), 1), 0) << "nothing left";
}

}  // namespace
}  // namespace platform
