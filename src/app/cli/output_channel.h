#pragma once
// What a station writes to stdout goes through a bounded queue and a writer
// thread of its own, so a reader that stalls (a hung collector, a full pipe,
// a pager) never holds the station: records are still kept, stop requests
// still served. Texts that may be dropped (live redraws, progress and status
// events) are dropped beyond the bound, and how many is told once the reader
// catches up; texts that must arrive (outcomes, the summary) never are.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quarnel::cli {

class OutputChannel {
 public:
  enum class Kind { kMayDrop, kMustArrive };
  using Clock = std::chrono::steady_clock;

  // `write` writes a text to the stream and may block for as long as the
  // reader takes (false: the stream is gone); `dropped_note` makes the text
  // that tells how many were dropped.
  OutputChannel(std::function<bool(const std::string&)> write,
                std::function<std::string(size_t dropped)> dropped_note, size_t bound = 512);
  // Does not wait for a stalled reader: see Finish.
  ~OutputChannel();
  OutputChannel(const OutputChannel&) = delete;
  OutputChannel& operator=(const OutputChannel&) = delete;

  void Write(std::string text, Kind kind);
  // A text has waited longer than `limit` for the reader.
  bool Stalled(std::chrono::milliseconds limit) const;
  // Texts not yet written.
  size_t Pending() const;
  // Waits up to `grace` for every text to be written; false when the
  // reader did not take them all (they are given up).
  bool Finish(std::chrono::milliseconds grace);

 private:
  struct State;
  static void Run(const std::shared_ptr<State>& state);
  std::shared_ptr<State> state_;
  std::thread writer_;
};

// Write to the process's stdout or stderr, flushed; false once it is closed.
bool WriteStandardOutput(const std::string& text);
bool WriteStandardError(const std::string& text);

}  // namespace quarnel::cli
