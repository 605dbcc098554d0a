// Paths that must not be read as a file on Linux: reading them would block,
// never end, or read what the kernel makes up. Each is refused at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_identity.h"
#include "platform/regular_file.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string Refusal(const fs::path& path) {
  std::string error;
  EXPECT_EQ(ReadRegularFile(path.string(), 1 << 20, error), std::nullopt) << path;
  return error;
}

TEST(RegularFilePosix, ANamedPipeWithoutAWriterIsRefusedAtOnce) {
  testsupport::TempDir dir;
  const fs::path fifo = dir.path() / "ports.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(Refusal(fifo).find("named pipe (FIFO)"), std::string::npos);
}

TEST(RegularFilePosix, DevicesAreNeverRead) {
  // /dev/zero would be read until memory runs out.
  EXPECT_NE(Refusal("/dev/zero").find("it is a device"), std::string::npos);
  EXPECT_NE(Refusal("/dev/null").find("it is a device"), std::string::npos);
}

TEST(RegularFilePosix, FilesThatTheSystemMakesUpAreRefused) {
  // Size 0 by stat, yet full of text.
  EXPECT_NE(Refusal("/proc/self/status").find("/proc or /sys"), std::string::npos);
  if (fs::exists("/sys/kernel/address_bits")) {
    EXPECT_NE(Refusal("/sys/kernel/address_bits").find("/proc or /sys"), std::string::npos);
  }
}

TEST(RegularFilePosix, AFileIsReadAndKnownThroughASymbolicLink) {
  testsupport::TempDir dir;
  const fs::path file = dir.path() / "ports.txt";
  std::ofstream(file) << "COM3\n";
  const fs::path link = dir.path() / "link.txt";
  fs::create_symlink(file, link);
  std::string error;
  EXPECT_EQ(ReadRegularFile(link.string(), 1024, error), "COM3\n") << error;
  EXPECT_TRUE(SameFile(link.string(), file.string()));
  EXPECT_TRUE(SameFile(file.string(), link.string()));
  // A link to a link, and a dangling one.
  fs::create_symlink(link, dir.path() / "link2.txt");
  EXPECT_TRUE(SameFile((dir.path() / "link2.txt").string(), file.string()));
  fs::create_symlink(dir.path() / "gone.txt", dir.path() / "dangling.txt");
  EXPECT_FALSE(
      SameFile((dir.path() / "dangling.txt").string(), (dir.path() / "dangling.txt").string()));
}

}  // namespace
}  // namespace platform
