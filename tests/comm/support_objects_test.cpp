// The serial component's support objects: change notification with its
// update bracket, wait events, the re-entrant lock, the exception, time-outs
// across the tick's wrap-around, the bit test and the error message format.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include "comm/VaClasses.h"
#include "comm/VaSupport.h"
#include "platform/tick.h"

namespace comm {
namespace {

using namespace std::chrono_literals;

class CountingPersistent : public TVaPersistent {
 public:
  CountingPersistent() {
    SetOnChange([this](TVaPersistent* sender) {
      ++changes;
      last_sender = sender;
    });
  }
  int changes = 0;
  TVaPersistent* last_sender = nullptr;
};

TEST(VaPersistentTest, UpdateBracketFoldsChangesIntoOneReportAtTheOuterEnd) {
  CountingPersistent p;
  p.BeginUpdate();
  p.BeginUpdate();
  p.Changed();
  p.Changed();
  p.EndUpdate();
  EXPECT_EQ(p.changes, 0) << "the inner EndUpdate must not report";
  EXPECT_EQ(p.UpdateCount(), 1);
  p.EndUpdate();
  EXPECT_EQ(p.changes, 1);
  EXPECT_EQ(p.last_sender, &p);
  EXPECT_EQ(p.UpdateCount(), 0);
}

TEST(VaPersistentTest, UnmatchedEndUpdateStaysAtZeroAndStillReports) {
  CountingPersistent p;
  p.EndUpdate();
  EXPECT_EQ(p.UpdateCount(), 0);
  EXPECT_EQ(p.changes, 1);
  // The count did not go negative: the next change reports at once.
  p.Changed();
  EXPECT_EQ(p.changes, 2);
}

TEST(VaPersistentTest, ChangedWithoutHandlerDoesNothing) {
  TVaPersistent p;
  p.Changed();
  p.EndUpdate();
  EXPECT_EQ(p.UpdateCount(), 0);
}

TEST(VaUpdateBracketTest, EndsTheBracketAlsoWhenTheScopeRaises) {
  CountingPersistent p;
  EXPECT_THROW(
      {
        TVaUpdateBracket bracket(p);
        p.Changed();
        throw std::runtime_error("copy failed");
      },
      std::runtime_error);
  EXPECT_EQ(p.UpdateCount(), 0);
  EXPECT_EQ(p.changes, 1);
}

TEST(VaUpdateBracketTest, AHandlerThatRaisesAtTheEndReachesTheCaller) {
  TVaPersistent p;
  p.SetOnChange([](TVaPersistent*) { throw EVaCommError("refused"); });
  EXPECT_THROW({ TVaUpdateBracket bracket(p); }, EVaCommError);
  EXPECT_EQ(p.UpdateCount(), 0);
}

TEST(VaWaitEventTest, WaitForReportsTimeoutAtOnceAndSignalWhileSet) {
  TVaWaitEvent event;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event.WaitFor(0), wtTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  event.Signal();
  // Manual reset: it stays signalled for every wait until Reset.
  EXPECT_EQ(event.WaitFor(0), wtSignaled);
  EXPECT_EQ(event.WaitFor(platform::kInfinite), wtSignaled);
  event.Reset();
  EXPECT_EQ(event.WaitFor(10), wtTimeout);
  EXPECT_EQ(event.LastError(), 0);
}

TEST(VaWaitEventTest, OneSignalReleasesEveryWaiter) {
  TVaWaitEvent event;
  auto waiter = [&event] { return event.WaitFor(5000); };
  auto first = std::async(std::launch::async, waiter);
  auto second = std::async(std::launch::async, waiter);
  std::this_thread::sleep_for(20ms);
  event.Signal();
  EXPECT_EQ(first.get(), wtSignaled);
  EXPECT_EQ(second.get(), wtSignaled);
}

TEST(VaHandleObjectTest, WaitWithoutAHandleIsAnErrorWithItsCode) {
  TVaHandleObject nothing;
  EXPECT_EQ(nothing.Handle(), nullptr);
  EXPECT_EQ(nothing.WaitFor(0), wtError);
  EXPECT_EQ(nothing.LastError(), EBADF);
}

TEST(VaCriticalSectionTest, IsReentrantForItsHolderAndExcludesOthers) {
  TVaCriticalSection section;
  section.Enter();
  section.Enter();  // must not deadlock
  std::atomic<bool> entered{false};
  std::thread other([&] {
    section.Enter();
    entered = true;
    section.Leave();
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(entered.load());
  section.Leave();
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(entered.load()) << "one Leave of two must keep the section held";
  section.Leave();
  other.join();
  EXPECT_TRUE(entered.load());
}

TEST(EVaCommErrorTest, IsAToolkitExceptionWithItsOwnClassNameAndKeepsItsNumber) {
  try {
    throw EVaCommError("Output buffer is full. Please check comm status.");
  } catch (const tk::Exception& e) {
    EXPECT_EQ(e.ClassName(), "EVaCommError");
    EXPECT_STREQ(e.what(), "Output buffer is full. Please check comm status.");
    EXPECT_EQ(dynamic_cast<const EVaCommError&>(e).ErrorCode(), 0);
  }
  EXPECT_EQ(EVaCommError("Write error (5), Input/output error", 5).ErrorCode(), 5);
}

class VirtualTick : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetTickSourceForTesting([this] { return now_.load(); });
  }
  void TearDown() override { platform::SetTickSourceForTesting({}); }
  std::atomic<uint32_t> now_{0};
};

TEST_F(VirtualTick, TimerExpiresOnlyAfterMoreThanItsIntervalAcrossTheWrap) {
  TVaTimer timer;
  now_ = 0xFFFFFF00u;
  StartTimer(timer, 1000);
  EXPECT_EQ(timer.StartTick, 0xFFFFFF00u);
  EXPECT_EQ(timer.Interval, 1000u);
  now_ = 0xFFFFFFFFu;
  EXPECT_FALSE(TimerExpired(timer));
  now_ = 0x000002E8u;  // exactly 1000 ms later
  EXPECT_FALSE(TimerExpired(timer));
  now_ = 0x000002E9u;  // 1001 ms
  EXPECT_TRUE(TimerExpired(timer));
}

TEST_F(VirtualTick, ZeroIntervalExpiresOnTheNextTick) {
  TVaTimer timer;
  now_ = 500;
  StartTimer(timer, 0);
  EXPECT_FALSE(TimerExpired(timer));
  now_ = 501;
  EXPECT_TRUE(TimerExpired(timer));
}

TEST(MaskTestTest, TrueOnlyForAPositiveCommonPart) {
  EXPECT_TRUE(MaskTest(0x0002, 0x0003));
  EXPECT_FALSE(MaskTest(0x0004, 0x0003));
  // The common part is taken as a signed value: the top bit alone is negative.
  EXPECT_FALSE(MaskTest(static_cast<int32_t>(0x80000000u), -1));
  EXPECT_TRUE(MaskTest(0x1000, 0x1FFF));
}

TEST(FillFormatTest, FillsMessagesAndDeviceNamesAndLeavesPlainTextAlone) {
  EXPECT_EQ(FillFormat("Error writing dcb (%d), %s", 22, "Invalid argument"),
            "Error writing dcb (22), Invalid argument");
  EXPECT_EQ(FillFormat(" Error setting EventMask (%d), %s", 5, "Input/output error"),
            " Error setting EventMask (5), Input/output error");
  EXPECT_EQ(FillFormat("Output buffer is full. Please check comm status.", 5, "x"),
            "Output buffer is full. Please check comm status.");
  // Only %d and %s are placeholders; a stray % stays as it is.
  EXPECT_EQ(FillFormat("100% (%d) %x %", 1, "t"), "100% (1) %x %");
  EXPECT_EQ(FillFormat("a %% b %s", 0, "%d"), "a % b %d");
  // A device name takes the port number only; its %s is no placeholder.
  EXPECT_EQ(FillFormat("COM%d", 3), "COM3");
  EXPECT_EQ(FillFormat("/dev/odd%s%%name", 3), "/dev/odd%s%name");
}

TEST(CommErrorMessageTest, SystemTextLosesTrailingBlanksControlsAndFullStops) {
  EXPECT_EQ(CleanSystemText("Access is denied.\r\n"), "Access is denied");
  EXPECT_EQ(CleanSystemText("No such file or directory"), "No such file or directory");
  EXPECT_EQ(CleanSystemText(" . \t"), "");
  EXPECT_EQ(CleanSystemText(std::string(300, 'x')).size(), 256u);
}

}  // namespace
}  // namespace comm
