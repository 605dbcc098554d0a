#include "toolkit/event_loop.h"

#include <atomic>

#include "toolkit/exceptions.h"

namespace tk {

namespace {
// Read by port threads (TThread::Synchronize) while the driver installs it.
std::atomic<EventLoop*> g_main_loop{nullptr};
}  // namespace

EventLoop& MainLoop() {
  EventLoop* loop = g_main_loop.load();
  if (loop == nullptr) throw Exception("No main event loop has been set up");
  return *loop;
}

void SetMainLoop(EventLoop* loop) {
  g_main_loop.store(loop);
}

EventLoop* CurrentMainLoop() {
  return g_main_loop.load();
}

}  // namespace tk
