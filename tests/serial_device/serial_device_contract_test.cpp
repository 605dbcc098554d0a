// What serial_device.h promises, checked on a real line on every system:
// Linux on a pseudo-terminal, Windows on a COM port under Wine that a Linux
// peer serves through a pseudo-terminal (serial_peer.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/process_time.h"
#include "platform/serial_device.h"
#include "platform/system_error.h"
#include "serial_device/serial_peer.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

using namespace std::literals;
using Clock = std::chrono::steady_clock;
using testing::LineSettings;
using testing::NewSerialPeer;
using testing::SerialPeer;
using testing::ThisSystem;

ErrorKind OpeningFailure() {
  return ClassifySystemError(LastError(), ErrorOccasion::kOpening);
}

std::string Explained(int code) {
  return std::to_string(code) + " " + SystemErrorText(code);
}

// Ends a wait or write left behind by a failed assertion, so the test fails
// instead of hanging in the future's destructor.
struct SignalOnExit {
  ManualResetEvent& event;
  ~SignalOnExit() { event.Signal(); }
};

struct WaitOutcome {
  bool ok = false;
  uint32_t occurred = 0;
  int error = 0;
};

struct WriteOutcome {
  int written = 0;
  int error = 0;
};

class SerialDeviceContract : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why_none;
    peer_ = NewSerialPeer(&why_none);
    if (!peer_) GTEST_SKIP() << why_none;
    device_ = Open();
    ASSERT_NE(device_, nullptr) << Explained(LastError());
    ASSERT_TRUE(device_->SetState(LineSettings())) << Explained(LastError());
  }

  std::unique_ptr<SerialDevice> Open() { return SerialDevice::Open(peer_->DevicePath()); }

  // Sends from the far end and waits until the device holds `count` bytes.
  void Send(const std::string& bytes, size_t count) {
    peer_->Send(bytes);
    ASSERT_TRUE(QueueReaches(count)) << "the device never held " << count << " bytes";
  }
  void Send(const std::string& bytes) { Send(bytes, bytes.size()); }

  bool QueueReaches(size_t count) {
    const auto deadline = Clock::now() + 5s;
    do {
      ComStat stat{};
      uint32_t errors = 0;
      if (device_->ClearError(&errors, &stat) && stat.cbInQue >= count) return true;
      std::this_thread::sleep_for(1ms);
    } while (Clock::now() < deadline);
    return false;
  }

  uint32_t InQueue() {
    ComStat stat{};
    uint32_t errors = 0;
    EXPECT_TRUE(device_->ClearError(&errors, &stat)) << Explained(LastError());
    return stat.cbInQue;
  }

  std::string ReadAll() {
    char buf[8192];
    const int n = device_->Read(buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }

  std::future<WaitOutcome> StartWait() {
    return std::async(std::launch::async, [this] {
      WaitOutcome result;
      result.ok = device_->WaitCommEvent(&result.occurred, wakeup_);
      result.error = result.ok ? 0 : LastError();
      return result;
    });
  }

  // One wait, which must end within `limit`; one that does not is woken.
  WaitOutcome WaitOnce(std::chrono::milliseconds limit = 5s) {
    auto waiter = StartWait();
    if (waiter.wait_for(limit) != std::future_status::ready) {
      ADD_FAILURE() << "the wait did not end";
      wakeup_.Signal();
    }
    return waiter.get();
  }

  // Writes on another thread. Without a cancel event of the case's own it
  // gets `rescue_`, which only a failed case signals, to end a write that
  // would otherwise never end.
  std::future<WriteOutcome> StartWrite(const std::string& bytes, ManualResetEvent* cancel,
                                       uint32_t timeout_ms = kInfinite) {
    if (cancel == nullptr) cancel = &rescue_;
    return std::async(std::launch::async, [this, &bytes, cancel, timeout_ms] {
      WriteOutcome result;
      result.written =
          device_->Write(bytes.data(), static_cast<int>(bytes.size()), cancel, timeout_ms);
      result.error = LastError();
      return result;
    });
  }

  // Writes until the far end, which reads nothing, holds all it can; the
  // bytes that went out are added to *sent.
  void FillTheLine(size_t* sent) {
    auto writer = StartWrite(big_, nullptr, 200);
    if (writer.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the write outlived its time-out";
      rescue_.Signal();
    }
    const WriteOutcome result = writer.get();
    ASSERT_LT(result.written, static_cast<int>(big_.size())) << "a line that never fills";
    ASSERT_EQ(result.error, ThisSystem().timed_out) << Explained(result.error);
    *sent += static_cast<size_t>(std::max(result.written, 0));
  }

  // The wait reported `events`, and then `text` came in whole.
  void ExpectEventsAndText(const WaitOutcome& wait, uint32_t events, const std::string& text) {
    EXPECT_TRUE(wait.ok) << Explained(wait.error);
    EXPECT_EQ(wait.occurred, events);
    EXPECT_TRUE(QueueReaches(text.size())) << "the device never held " << text.size() << " bytes";
    EXPECT_EQ(ReadAll(), text);
  }

  // Exactly `count` bytes reach the far end, no more.
  void ExpectTheFarEndGets(size_t count) {
    EXPECT_EQ(peer_->Receive(count, 5s).size(), count);
    EXPECT_EQ(peer_->Receive(1, 300ms).size(), 0u) << "more went out than the device said";
  }

  std::unique_ptr<SerialPeer> peer_;
  std::unique_ptr<SerialDevice> device_;
  ManualResetEvent wakeup_;
  ManualResetEvent rescue_;
  const std::string big_ = std::string(4 << 20, 'x');
};

// ---- Opening ----

TEST(SerialDeviceContractOpen, AMissingDeviceIsNotFound) {
  EXPECT_EQ(SerialDevice::Open(ThisSystem().missing_device), nullptr);
  EXPECT_EQ(OpeningFailure(), ErrorKind::kNotFound) << Explained(LastError());
}

TEST(SerialDeviceContractOpen, WhatIsNoSerialLineIsRefused) {
  testsupport::TempDir dir;
  const std::string file = (dir.path() / "not-a-port").string();
  std::ofstream(file) << "text";
  std::vector<std::string> devices = ThisSystem().not_serial_devices;
  devices.push_back(file);
  for (const std::string& device : devices) {
    EXPECT_EQ(SerialDevice::Open(device), nullptr) << device;
    EXPECT_EQ(OpeningFailure(), ErrorKind::kNotASerialPort)
        << device << ": " << Explained(LastError());
  }
}

TEST_F(SerialDeviceContract, APortHasOneUserAtATime) {
  if (!ThisSystem().keeps_a_port_to_one_user) {
    GTEST_SKIP() << "this system lets a second user open a port";
  }
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(OpeningFailure(), ErrorKind::kBusy) << Explained(LastError());
  // Released on close: the next user gets it.
  device_.reset();
  EXPECT_NE(Open(), nullptr) << Explained(LastError());
}

TEST_F(SerialDeviceContract, InputThatWaitedBeforeTheOpenIsDropped) {
  device_.reset();
  // A late answer to an earlier connection.
  peer_->Send("!stale\n");
  std::this_thread::sleep_for(50ms);
  device_ = Open();
  ASSERT_NE(device_, nullptr) << Explained(LastError());
  ASSERT_TRUE(device_->SetState(LineSettings()));
  Send("!fresh\n");
  EXPECT_EQ(ReadAll(), "!fresh\n");
}

TEST_F(SerialDeviceContract, BytesPassUnchangedBothWays) {
  // A terminal's defaults would turn CR into LF, take ^C, ^Q and DEL for
  // commands, and add a CR to every LF that goes out.
  const std::string bytes = "a\rb\x03\x11\x13\x7f\xff\x00\n"s;
  Send(bytes);
  EXPECT_EQ(ReadAll(), bytes);
  ASSERT_EQ(device_->Write(bytes.data(), static_cast<int>(bytes.size()), nullptr, 2000),
            static_cast<int>(bytes.size()));
  EXPECT_EQ(peer_->Receive(bytes.size() + 1, 300ms), bytes);
}

// ---- The receive queue ----

TEST_F(SerialDeviceContract, ClearErrorCountsTheReceiveQueue) {
  EXPECT_EQ(InQueue(), 0u);
  Send("0123456789");
  EXPECT_EQ(InQueue(), 10u);
  char buf[3];
  ASSERT_EQ(device_->Read(buf, 3), 3);
  EXPECT_EQ(InQueue(), 7u);
  uint32_t errors = 99;
  ComStat stat{};
  stat.cbOutQue = 99;
  ASSERT_TRUE(device_->ClearError(&errors, &stat));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(stat.cbInQue, 7u);
  EXPECT_EQ(stat.cbOutQue, 0u);
  EXPECT_TRUE(device_->ClearError(nullptr, nullptr));
}

TEST_F(SerialDeviceContract, ReadsTakeWhatCameAndNeverWait) {
  char buf[16];
  const auto start = Clock::now();
  EXPECT_EQ(device_->Read(buf, sizeof buf), 0);
  EXPECT_EQ(device_->Read(buf, 0), 0);
  EXPECT_LT(Clock::now() - start, 500ms) << "a read waited for data";

  Send("!0102030405\n");
  EXPECT_EQ(device_->Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "!010");
  EXPECT_EQ(InQueue(), 8u);
  EXPECT_EQ(ReadAll(), "2030405\n");
  EXPECT_EQ(device_->Read(buf, sizeof buf), 0);
}

TEST_F(SerialDeviceContract, BadArgumentsAreRefused) {
  char buf[4];
  EXPECT_EQ(device_->Read(nullptr, 4), -1);
  EXPECT_EQ(LastError(), ThisSystem().invalid_argument);
  EXPECT_EQ(device_->Read(buf, -1), -1);
  EXPECT_EQ(LastError(), ThisSystem().invalid_argument);
  EXPECT_EQ(device_->Write(nullptr, 4, nullptr, 100), -1);
  EXPECT_EQ(LastError(), ThisSystem().invalid_argument);
  EXPECT_EQ(device_->Write(buf, -1, nullptr, 100), -1);
  EXPECT_EQ(LastError(), ThisSystem().invalid_argument);
  EXPECT_FALSE(device_->SetupQueues(0, 2048));
  EXPECT_EQ(LastError(), ThisSystem().invalid_argument);
  // Nothing of it reached the line or spoiled the device.
  EXPECT_EQ(device_->Write(nullptr, 0, nullptr, 100), 0);
  ASSERT_EQ(device_->Write("ok", 2, nullptr, 1000), 2);
  EXPECT_EQ(peer_->Receive(3, 300ms), "ok");
}

TEST_F(SerialDeviceContract, AFullQueueKeepsReadingAndKeepsTheNewestBytes) {
  ASSERT_TRUE(device_->SetupQueues(8, 2048));
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  peer_->Send("0123456789ABCDEF\n");  // twice what fits, then the line end
  const WaitOutcome wait = WaitOnce();
  ASSERT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, kEvRxFlag) << "the line end must be seen although the queue ran full";
  uint32_t errors = 0;
  ComStat stat{};
  ASSERT_TRUE(device_->ClearError(&errors, &stat));
  EXPECT_EQ(errors, kCeRxOver);
  EXPECT_EQ(stat.cbInQue, 8u);
  EXPECT_EQ(ReadAll(), "9ABCDEF\n");
}

// ---- Events ----

TEST_F(SerialDeviceContract, TheEventCharacterIsReportedAsMonitored) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag | kEvRxChar));
  peer_->Send("!00\n");
  WaitOutcome wait = WaitOnce();
  ASSERT_TRUE(wait.ok) << Explained(wait.error);
  // The bytes may come in two goes; the line end is in the last.
  if (wait.occurred == kEvRxChar) wait = WaitOnce();
  EXPECT_EQ(wait.occurred & kEvRxFlag, kEvRxFlag);
  ASSERT_TRUE(QueueReaches(4));

  // Only monitored events are reported.
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  peer_->Send("!01\n");
  ExpectEventsAndText(WaitOnce(), kEvRxFlag, "!00\n!01\n");

  // Another event character takes effect with the next settings.
  ASSERT_TRUE(device_->SetState(LineSettings('\r')));
  peer_->Send("!02\n!03\r");
  ExpectEventsAndText(WaitOnce(), kEvRxFlag, "!02\n!03\r");
}

TEST_F(SerialDeviceContract, AWaitLastsUntilTheEventCharacterArrives) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  auto waiter = StartWait();
  SignalOnExit wake_waiter{wakeup_};
  peer_->Send("!0002");  // no event character yet
  EXPECT_EQ(waiter.wait_for(300ms), std::future_status::timeout);
  peer_->Send("03\n");
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  ExpectEventsAndText(waiter.get(), kEvRxFlag, "!000203\n");
}

TEST_F(SerialDeviceContract, AnEventThatAReadTookInIsStillReportedToTheWaiter) {
  // The main thread may take a line into the queue (a status query) before
  // the event thread looks; the line must still be announced.
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("!first\n");
  const WaitOutcome wait = WaitOnce();
  EXPECT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, kEvRxFlag);
}

TEST_F(SerialDeviceContract, TheWakeUpEventEndsAWaitWithoutSpinning) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  const auto cpu_before = ProcessCpuTime();
  auto waiter = StartWait();
  SignalOnExit wake_waiter{wakeup_};
  EXPECT_EQ(waiter.wait_for(300ms), std::future_status::timeout);
  wakeup_.Signal();
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  const auto cpu_used = ProcessCpuTime() - cpu_before;
  const WaitOutcome wait = waiter.get();
  EXPECT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, 0u);
  EXPECT_LT(cpu_used, 150ms) << "the wait spun";
}

TEST_F(SerialDeviceContract, PendingEventsAreReportedAtOnceAheadOfTheWakeUp) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  wakeup_.Signal();
  WaitOutcome wait = WaitOnce();
  EXPECT_TRUE(wait.ok);
  EXPECT_EQ(wait.occurred, 0u) << "nothing pending yet";

  Send("!00\n");
  wait = WaitOnce();
  EXPECT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, kEvRxFlag) << "the wake-up hid an event";
  // Once reported, it is gone; the wake-up ends the next wait.
  wait = WaitOnce();
  EXPECT_TRUE(wait.ok);
  EXPECT_EQ(wait.occurred, 0u);
  wakeup_.Reset();

  // Events no longer monitored are dropped.
  peer_->Send("!01\n");
  ASSERT_TRUE(QueueReaches(8));
  ASSERT_TRUE(device_->SetMask(kEvRxChar));
  wakeup_.Signal();
  wait = WaitOnce();
  EXPECT_EQ(wait.occurred, 0u);
}

TEST_F(SerialDeviceContract, TheQueueRunningFullAndTheTransmitQueueRunningEmpty) {
  ASSERT_TRUE(device_->SetupQueues(10, 2048));
  ASSERT_TRUE(device_->SetMask(kEvRx80Full));
  Send("12345678");  // 80 %: not over
  wakeup_.Signal();  // a wait returns at once, with the events pending if any
  WaitOutcome wait = WaitOnce();
  ASSERT_TRUE(wait.ok);
  EXPECT_EQ(wait.occurred, 0u);
  wakeup_.Reset();
  peer_->Send("9");
  wait = WaitOnce();
  ASSERT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, kEvRx80Full);

  ASSERT_TRUE(device_->SetMask(kEvTxEmpty));
  ASSERT_EQ(device_->Write("abc", 3, nullptr, 1000), 3);
  wait = WaitOnce();
  ASSERT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, kEvTxEmpty);
  EXPECT_EQ(peer_->Receive(4, 300ms), "abc");
}

// ---- Writing ----

TEST_F(SerialDeviceContract, AWriteReachesTheFarEndWhole) {
  const std::string record = ":0001010300FB\r\n";
  EXPECT_EQ(device_->Write(record.data(), static_cast<int>(record.size()), nullptr, 1000),
            static_cast<int>(record.size()));
  // Many at once, larger than any one buffer of the way.
  std::string block;
  for (int i = 0; block.size() < 100000; ++i) block += std::to_string(i) + ",";
  auto writer = StartWrite(block, nullptr);
  SignalOnExit release_writer{rescue_};
  EXPECT_EQ(peer_->Receive(record.size() + block.size(), 10s), record + block);
  ASSERT_EQ(writer.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(writer.get().written, static_cast<int>(block.size()));
}

TEST_F(SerialDeviceContract, AWriteEndsAtItsTimeOutAndTellsWhatWentOut) {
  // Nobody reads the far end, so the line fills up.
  const auto start = Clock::now();
  size_t sent = 0;
  ASSERT_NO_FATAL_FAILURE(FillTheLine(&sent));
  EXPECT_LT(Clock::now() - start, 3s);
  // Once full, another write sends nothing and says so.
  ASSERT_NO_FATAL_FAILURE(FillTheLine(&sent));
  // Exactly the bytes it reported went out.
  ExpectTheFarEndGets(sent);
}

TEST_F(SerialDeviceContract, AWriteEndsWhenItIsCancelled) {
  size_t sent = 0;
  ASSERT_NO_FATAL_FAILURE(FillTheLine(&sent));
  ManualResetEvent cancel;
  auto writer = StartWrite(big_, &cancel);
  SignalOnExit stop_writer{cancel};
  EXPECT_EQ(writer.wait_for(300ms), std::future_status::timeout);
  cancel.Signal();
  ASSERT_EQ(writer.wait_for(5s), std::future_status::ready);
  const WriteOutcome result = writer.get();
  EXPECT_GE(result.written, 0);
  EXPECT_LT(result.written, static_cast<int>(big_.size()));
  EXPECT_EQ(result.error, ThisSystem().cancelled) << Explained(result.error);
  sent += static_cast<size_t>(std::max(result.written, 0));
  ExpectTheFarEndGets(sent);

  // Cancelled before it began: nothing goes out, though there is room now.
  EXPECT_EQ(device_->Write("z", 1, &cancel, kInfinite), 0);
  EXPECT_EQ(LastError(), ThisSystem().cancelled);
  EXPECT_EQ(peer_->Receive(1, 300ms), "");
  // A cancel that is not signalled stops nothing.
  cancel.Reset();
  EXPECT_EQ(device_->Write("z", 1, &cancel, 1000), 1);
  EXPECT_EQ(peer_->Receive(2, 300ms), "z");
}

// ---- The device's end ----

TEST_F(SerialDeviceContract, AVanishedDeviceIsReportedOnceThenEverythingFailsAtOnce) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  auto waiter = StartWait();
  SignalOnExit wake_waiter{wakeup_};
  EXPECT_EQ(waiter.wait_for(300ms), std::future_status::timeout);
  EXPECT_FALSE(device_->FailedForGood());
  EXPECT_FALSE(device_->Gone());
  peer_->Vanish();  // the adapter is unplugged
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  const WaitOutcome wait = waiter.get();
  EXPECT_TRUE(wait.ok) << Explained(wait.error);
  EXPECT_EQ(wait.occurred, kEvDeviceGone) << "reported although not in the mask";
  int gone_error = 0;
  EXPECT_TRUE(device_->Gone(&gone_error));
  EXPECT_EQ(ClassifySystemError(gone_error, ErrorOccasion::kInUse), ErrorKind::kGone)
      << Explained(gone_error);
  EXPECT_TRUE(device_->FailedForGood());

  // Once only: from now on every call fails at once, naming the same error.
  const auto start = Clock::now();
  uint32_t occurred = 0;
  EXPECT_FALSE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(LastError(), gone_error);
  EXPECT_FALSE(device_->ClearError(nullptr, nullptr));
  EXPECT_EQ(LastError(), gone_error);
  EXPECT_EQ(device_->Write("x", 1, nullptr, kInfinite), -1);
  EXPECT_EQ(LastError(), gone_error);
  char buf[4];
  EXPECT_EQ(device_->Read(buf, 4), -1);
  EXPECT_EQ(LastError(), gone_error);
  EXPECT_FALSE(device_->SetState(LineSettings()));
  EXPECT_EQ(LastError(), gone_error);
  EXPECT_LT(Clock::now() - start, 500ms);
}

TEST_F(SerialDeviceContract, AWriteFailsWhenTheDeviceVanishesUnderIt) {
  size_t sent = 0;
  ASSERT_NO_FATAL_FAILURE(FillTheLine(&sent));
  auto writer = StartWrite(big_, nullptr);
  SignalOnExit release_writer{rescue_};
  EXPECT_EQ(writer.wait_for(300ms), std::future_status::timeout);
  peer_->Vanish();
  ASSERT_EQ(writer.wait_for(5s), std::future_status::ready) << "the write outlived its device";
  const WriteOutcome result = writer.get();
  EXPECT_LT(result.written, static_cast<int>(big_.size()));
  EXPECT_TRUE(device_->Gone());
  EXPECT_TRUE(device_->FailedForGood());
  EXPECT_EQ(device_->Write("x", 1, nullptr, kInfinite), -1);
}

TEST_F(SerialDeviceContract, BytesReceivedBeforeTheDeviceVanishedAreStillDelivered) {
  Send("!last\n");
  peer_->Vanish();
  ComStat stat{};
  ASSERT_TRUE(device_->ClearError(nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 6u);
  EXPECT_EQ(ReadAll(), "!last\n");
  EXPECT_FALSE(device_->ClearError(nullptr, &stat));
  EXPECT_EQ(ClassifySystemError(LastError(), ErrorOccasion::kInUse), ErrorKind::kGone)
      << Explained(LastError());
}

// ---- Shutting down ----

TEST_F(SerialDeviceContract, ShutdownReleasesBlockedThreadsAndThePort) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("!queued\n");
  auto waiter = std::async(std::launch::async, [&] {
    WaitOutcome result;
    do {  // the line above is reported first
      result.ok = device_->WaitCommEvent(&result.occurred, wakeup_);
    } while (result.ok && result.occurred != 0);
    result.error = LastError();
    return result;
  });
  SignalOnExit wake_waiter{wakeup_};
  size_t sent = 0;
  ASSERT_NO_FATAL_FAILURE(FillTheLine(&sent));
  auto writer = StartWrite(big_, nullptr);  // blocks for room
  SignalOnExit release_writer{rescue_};
  EXPECT_EQ(writer.wait_for(300ms), std::future_status::timeout);
  EXPECT_EQ(waiter.wait_for(0ms), std::future_status::timeout);

  device_->Shutdown();
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  ASSERT_EQ(writer.wait_for(5s), std::future_status::ready);
  const WaitOutcome wait = waiter.get();
  EXPECT_FALSE(wait.ok);
  EXPECT_EQ(wait.error, ThisSystem().shut_down) << Explained(wait.error);
  const WriteOutcome write = writer.get();
  EXPECT_LT(write.written, static_cast<int>(big_.size()));
  EXPECT_EQ(write.error, ThisSystem().shut_down) << Explained(write.error);
  EXPECT_TRUE(device_->FailedForGood());
  EXPECT_FALSE(device_->Gone());

  // The port is free at once, while this object still exists.
  EXPECT_NE(Open(), nullptr) << Explained(LastError());

  // Bytes already queued are still handed out; everything else fails.
  EXPECT_EQ(ReadAll(), "!queued\n");
  uint32_t occurred = 0;
  EXPECT_FALSE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(LastError(), ThisSystem().shut_down);
  EXPECT_EQ(device_->Write("x", 1, nullptr, 100), -1);
  EXPECT_EQ(LastError(), ThisSystem().shut_down);
  EXPECT_FALSE(device_->ClearError(nullptr, nullptr));
  EXPECT_EQ(LastError(), ThisSystem().shut_down);
  EXPECT_FALSE(device_->SetState(LineSettings()));
  EXPECT_EQ(LastError(), ThisSystem().shut_down);
  device_->Shutdown();  // twice is harmless
}

TEST_F(SerialDeviceContract, APortShutDownOpensAgainLikeNew) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  // Taken in by the old device or still on the line: gone either way.
  peer_->Send("!old\n");
  std::this_thread::sleep_for(50ms);
  device_->Shutdown();
  auto reopened = Open();
  ASSERT_NE(reopened, nullptr) << Explained(LastError());
  device_.reset();  // the old object goes while the new one is in use
  device_ = std::move(reopened);
  ASSERT_TRUE(device_->SetState(LineSettings()));
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));

  EXPECT_EQ(InQueue(), 0u) << "the old device's bytes came back";
  peer_->Send("!new\n");
  ExpectEventsAndText(WaitOnce(), kEvRxFlag, "!new\n");
  ASSERT_EQ(device_->Write("!ok\n", 4, nullptr, 1000), 4);
  EXPECT_EQ(peer_->Receive(5, 300ms), "!ok\n");
}

}  // namespace
}  // namespace platform
