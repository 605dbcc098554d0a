// What goes wrong with a log on Linux: a disk that fills in the middle of a
// line, a path that names no ordinary file, a file deleted while open, and
// writers that must wait for each other.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "platform/append_file.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Files of this process may grow to `limit` bytes at most while it lives: a
// write beyond it is cut short there, as on a disk that fills (SIGXFSZ
// ignored, so the process lives on).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old_action_);
    getrlimit(RLIMIT_FSIZE, &old_limit_);
    struct rlimit lower = old_limit_;
    lower.rlim_cur = limit;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lower), 0);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_limit_);
    sigaction(SIGXFSZ, &old_action_, nullptr);
  }

 private:
  struct rlimit old_limit_ {};
  struct sigaction old_action_ {};
};

class AppendFilePosix : public ::testing::Test {
 protected:
  std::unique_ptr<AppendFile> Open(const fs::path& path) {
    std::string error;
    auto file = AppendFile::Open(path.string(), error);
    EXPECT_NE(file, nullptr) << error;
    return file;
  }
  // The reason that `path` is refused, which must come at once.
  std::string Refusal(const fs::path& path) {
    std::string error;
    EXPECT_EQ(AppendFile::Open(path.string(), error), nullptr) << path;
    return error;
  }
  testsupport::TempDir dir_;
  fs::path path_ = dir_.path() / "units.log";
};

TEST_F(AppendFilePosix, ALineCutShortByAFullDiskIsTakenBackAndTheNextStandsAlone) {
  const std::string first = "{\"unit\":1}\n";
  const std::string cut = "{\"unit\":2,\"note\":\"" + std::string(430, 'x') + "\"}\n";
  const std::string third = "{\"unit\":3}\n";
  auto file = Open(path_);
  ASSERT_NE(file, nullptr);
  std::string error;
  ASSERT_TRUE(file->Append(first, error)) << error;
  {
    FileSizeLimit full(first.size() + 160);
    EXPECT_FALSE(file->Append(cut, error));
  }
  EXPECT_NE(error.find("only 160 of " + std::to_string(cut.size()) + " bytes"), std::string::npos)
      << error;
  EXPECT_EQ(testsupport::ReadText(path_), first) << "the part written must go";
  ASSERT_TRUE(file->Append(third, error)) << error;
  EXPECT_EQ(testsupport::ReadText(path_), first + third);
}

TEST_F(AppendFilePosix, AWriteThatFailsWholeLeavesTheFileAsItWas) {
  const std::string first = "{\"unit\":1}\n";
  auto file = Open(path_);
  ASSERT_NE(file, nullptr);
  std::string error;
  ASSERT_TRUE(file->Append(first, error)) << error;
  {
    FileSizeLimit full(first.size());
    EXPECT_FALSE(file->Append("{\"unit\":2}\n", error));
  }
  EXPECT_EQ(error, "File too large");
  ASSERT_TRUE(file->Append("{\"unit\":3}\n", error)) << error;
  EXPECT_EQ(testsupport::ReadText(path_), first + "{\"unit\":3}\n");
}

TEST_F(AppendFilePosix, AWriterWaitsWhileAnotherHoldsTheFile) {
  // Another station's AppendFile takes the same lock around its append and
  // its repair: lines and repairs never overlap.
  auto file = Open(path_);
  ASSERT_NE(file, nullptr);
  const int other = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  auto append = std::async(std::launch::async, [&] {
    std::string error;
    return file->Append("{\"unit\":1}\n", error);
  });
  EXPECT_EQ(append.wait_for(100ms), std::future_status::timeout) << "appended under a lock";
  EXPECT_EQ(fs::file_size(path_), 0u);
  ::flock(other, LOCK_UN);
  EXPECT_TRUE(append.get());
  ::close(other);
}

TEST_F(AppendFilePosix, AFileDeletedWhileOpenTakesNoMoreLines) {
  auto file = Open(path_);
  ASSERT_NE(file, nullptr);
  std::string error;
  ASSERT_TRUE(file->Append("{\"unit\":1}\n", error)) << error;
  fs::remove(path_);
  EXPECT_FALSE(file->Append("{\"unit\":2}\n", error));
  EXPECT_NE(error.find("deleted"), std::string::npos) << error;
}

TEST_F(AppendFilePosix, AFileWhoseFolderWasRemovedTakesNoMoreLines) {
  const fs::path folder = dir_.path() / "logs";
  fs::create_directory(folder);
  auto file = Open(folder / "units.log");
  ASSERT_NE(file, nullptr);
  fs::remove_all(folder);
  std::string error;
  EXPECT_FALSE(file->Append("{\"unit\":1}\n", error));
  EXPECT_NE(error.find("folder removed"), std::string::npos) << error;
}

TEST_F(AppendFilePosix, ANamedPipeIsRefusedWithOrWithoutAReader) {
  // Without a reader, opening it for writing would wait for one forever.
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  EXPECT_NE(Refusal(path_).find("named pipe (FIFO)"), std::string::npos);
  const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  EXPECT_NE(Refusal(path_).find("named pipe (FIFO)"), std::string::npos);
  ::close(reader);
}

TEST_F(AppendFilePosix, DevicesAreRefused) {
  // /dev/full would fail every line; /dev/null would swallow them all.
  EXPECT_NE(Refusal("/dev/full").find("it is a device"), std::string::npos);
  EXPECT_NE(Refusal("/dev/null").find("it is a device"), std::string::npos);
  const fs::path link = dir_.path() / "looks-like-a-log";
  fs::create_symlink("/dev/null", link);
  EXPECT_NE(Refusal(link).find("it is a device"), std::string::npos);
}

TEST_F(AppendFilePosix, FilesThatTheSystemMakesUpAreRefused) {
  // "Regular" files by their mode; writing this one would rename the thread.
  const std::string name = testsupport::ReadText("/proc/self/comm");
  EXPECT_NE(Refusal("/proc/self/comm").find("/proc or /sys"), std::string::npos);
  EXPECT_EQ(testsupport::ReadText("/proc/self/comm"), name);
  if (fs::exists("/sys/kernel/address_bits")) {
    EXPECT_NE(Refusal("/sys/kernel/address_bits").find("/proc or /sys"), std::string::npos);
  }
}

}  // namespace
}  // namespace platform
