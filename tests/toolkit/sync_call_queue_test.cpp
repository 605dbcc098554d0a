// The queue of synchronous calls on its own: what its owner may rely on.
#include "toolkit/sync_call_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace tk {
namespace {

// A loop goes as soon as its last work is done, and a port thread's call may
// be that work: the main thread runs it while its caller is still on its way
// from queueing the call to waiting for its end. Nothing on that way may
// touch the queue once it is gone (ThreadSanitizer, in
// scripts/sanitizer-tests.sh, reports any such touch).
TEST(SyncCallQueue, MayGoAsSoonAsItsLastCallHasRun) {
  for (int round = 0; round < 10; ++round) {
    std::promise<void> ran;
    std::shared_future<void> ran_seen = ran.get_future().share();
    // The caller's wake-up of the main thread lasts until the call has run.
    auto queue = std::make_unique<SyncCallQueue>([ran_seen] { ran_seen.wait(); });
    bool called = false;
    bool returned = false;
    std::thread caller([&, raw = queue.get()] {
      raw->Call([&] { called = true; });
      returned = true;
    });
    while (queue->Size() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(queue->RunAll(), 1);
    ran.set_value();
    queue.reset();  // waits only until the caller's wake-up has ended
    caller.join();
    EXPECT_TRUE(called);
    EXPECT_TRUE(returned);
  }
}

}  // namespace
}  // namespace tk
