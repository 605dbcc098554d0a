#include "view/qt/qt_event_loop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "view_qt/qt_test_app.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "view/qt/qt_dialog_service.h"

namespace {

using qt_test::PumpUntil;

class QtEventLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tk::Application::Instance().SetExceptionHandler([this](std::exception_ptr e, tk::TObject*) {
      reported_.push_back(tk::ExceptionMessage(e));
    });
  }
  void TearDown() override { tk::Application::Instance().SetExceptionHandler(nullptr); }

  tk::QtEventLoop loop_;
  std::vector<std::string> reported_;
};

TEST_F(QtEventLoopTest, InstallsItselfAndRestoresThePreviousLoop) {
  EXPECT_EQ(tk::CurrentMainLoop(), &loop_);
  {
    tk::QtEventLoop inner;
    EXPECT_EQ(tk::CurrentMainLoop(), &inner);
  }
  EXPECT_EQ(tk::CurrentMainLoop(), &loop_);
  EXPECT_TRUE(loop_.IsMainThread());
}

TEST_F(QtEventLoopTest, TimersFireRepeatedlyUntilRemoved) {
  int fast = 0, slow = 0;
  const int64_t start = loop_.NowMs();
  const auto fast_id = loop_.AddTimer(10, [&] { ++fast; });
  loop_.AddTimer(0, [&] { ++slow; });  // 0 counts as 1 ms
  ASSERT_TRUE(PumpUntil([&] { return fast >= 3 && slow >= 3; }, 1000));
  EXPECT_GE(loop_.NowMs() - start, 30);
  loop_.RemoveTimer(fast_id);
  loop_.RemoveTimer(fast_id);  // twice does nothing
  const int fired = fast;
  const int slow_before = slow;
  ASSERT_TRUE(PumpUntil([&] { return slow >= slow_before + 5; }, 1000));
  EXPECT_EQ(fast, fired);
  EXPECT_EQ(loop_.TimerCount(), 1u);
}

TEST_F(QtEventLoopTest, PauseBlocksTimers) {
  int fired = 0;
  loop_.AddTimer(1, [&] { ++fired; });
  const int64_t start = loop_.NowMs();
  loop_.Pause(40);
  EXPECT_GE(loop_.NowMs() - start, 40);
  EXPECT_EQ(fired, 0);
}

TEST_F(QtEventLoopTest, HandlerMayRemoveItsOwnTimerAndErrorsGoToTheReport) {
  int fired = 0;
  tk::EventLoop::TimerId id = 0;
  id = loop_.AddTimer(5, [&] {
    ++fired;
    loop_.RemoveTimer(id);
    throw std::runtime_error("timer failed");
  });
  ASSERT_TRUE(PumpUntil([&] { return fired > 0; }, 1000));
  PumpUntil([] { return false; }, 40);  // would fire again if not removed
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(reported_, std::vector<std::string>{"timer failed"});
  EXPECT_EQ(loop_.TimerCount(), 0u);
}

TEST_F(QtEventLoopTest, ToolkitTimerRunsOnTheQtLoop) {
  tk::TTimer timer;
  int ticks = 0;
  timer.OnTimer = [&](tk::TObject* sender) {
    EXPECT_EQ(sender, &timer);
    if (++ticks == 2) timer.SetEnabled(false);
  };
  timer.SetInterval(15);
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; }, 1000));
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(ticks, 2);
}

TEST_F(QtEventLoopTest, SynchronizeRunsOnTheGuiThreadInOrderAndReturnsErrors) {
  std::vector<int> order;
  std::atomic<bool> finished{false};
  std::string error;
  std::vector<bool> on_gui;
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i)
      loop_.Synchronize([&, i] {
        order.push_back(i);
        on_gui.push_back(QThread::currentThread() == qApp->thread());
      });
    try {
      loop_.Synchronize([] { throw std::runtime_error("sync failed"); });
    } catch (const std::exception& e) {
      error = e.what();
    }
    finished = true;
  });
  const bool done = PumpUntil([&] { return finished.load(); }, 3000);
  worker.join();
  ASSERT_TRUE(done);
  std::vector<int> expected(20);
  for (int i = 0; i < 20; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
  EXPECT_EQ(on_gui, std::vector<bool>(20, true));
  EXPECT_EQ(error, "sync failed");
  EXPECT_TRUE(reported_.empty());  // carried back, not reported
}

TEST_F(QtEventLoopTest, SynchronizeOnTheGuiThreadRunsAtOnce) {
  bool ran = false;
  loop_.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_THROW(loop_.Synchronize([] { throw std::logic_error("x"); }), std::logic_error);
}

TEST_F(QtEventLoopTest, CallsFromManyThreadsAllRunOnce) {
  std::atomic<int> finished{0};
  int sum = 0;  // GUI thread only
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      for (int i = 1; i <= 25; ++i) loop_.Synchronize([&, i] { sum += i; });
      ++finished;
    });
  const bool done = PumpUntil([&] { return finished.load() == 4; }, 3000);
  for (auto& w : workers) w.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(sum, 4 * 325);
}

TEST_F(QtEventLoopTest, RunPendingCallsServesWaitingThreadsWithoutQtEvents) {
  std::atomic<bool> finished{false};
  bool ran = false;
  std::thread worker([&] {
    loop_.Synchronize([&] { ran = true; });
    finished = true;
  });
  // As TThread::WaitFor does: no Qt event processing, only the waiting calls.
  int served = 0;
  for (int i = 0; i < 2000 && served == 0; ++i) {
    served = loop_.RunPendingCalls();
    if (served == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  EXPECT_EQ(served, 1);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(finished);
  QCoreApplication::processEvents();  // the posted wake-up finds nothing left
}

TEST_F(QtEventLoopTest, SynchronizeRunsWhileAMessageBoxIsOpen) {
  tk::QtDialogService dialogs;
  std::atomic<bool> ran{false};
  std::thread worker;
  bool timed_out = false;
  // Once the box is up, a thread asks for a call; the call closes the box.
  QTimer::singleShot(0, [&] {
    worker = std::thread([&] {
      loop_.Synchronize([&] {
        ran = true;
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
      });
    });
  });
  QTimer safety;
  safety.setSingleShot(true);
  QObject::connect(&safety, &QTimer::timeout, [&] {
    timed_out = true;
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  safety.start(3000);
  dialogs.ShowMessage("waiting");
  if (!ran) PumpUntil([&] { return ran.load(); }, 3000);  // never leave the worker stuck
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_FALSE(timed_out);
}

TEST_F(QtEventLoopTest, ATimerDoesNotReenterItsOwnModalHandler) {
  tk::QtDialogService dialogs;
  int entered = 0, other = 0, entered_while_open = -1;
  const auto id = loop_.AddTimer(5, [&] {
    if (++entered == 1) dialogs.ShowMessage("timer handler");  // Qt's timers run on meanwhile
  });
  // Another timer still runs inside the box, and closes it after a while.
  loop_.AddTimer(5, [&] {
    if (++other != 10) return;
    entered_while_open = entered;
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  ASSERT_TRUE(PumpUntil([&] { return other >= 12; }, 2000));
  loop_.RemoveTimer(id);
  EXPECT_EQ(entered_while_open, 1);
  EXPECT_GT(entered, 1);  // and it fires again once its handler is done
}

TEST_F(QtEventLoopTest, QuitEndsRunAndAQuitBeforeRunIsKept) {
  using Clock = std::chrono::steady_clock;
  const auto run_time = [&] {
    const auto start = Clock::now();
    loop_.Run();
    return Clock::now() - start;
  };
  bool quit_by_timer = false;
  QTimer::singleShot(10, [&] {
    quit_by_timer = true;
    loop_.Quit();
  });
  EXPECT_LT(run_time(), std::chrono::seconds(2));
  EXPECT_TRUE(quit_by_timer) << "Run returns only through Quit";
  loop_.Quit();
  EXPECT_LT(run_time(), std::chrono::milliseconds(500)) << "the earlier Quit ends it at once";
  std::thread other([&] { loop_.Quit(); });  // from another thread: posted
  other.join();
  EXPECT_LT(run_time(), std::chrono::milliseconds(500));
}

}  // namespace
