// The private copy of an image: only its owner reads it, it goes with its
// owner, and one left by a process that was killed is removed by the next.
#include "platform/private_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// TMPDIR points at a directory of the test's own for as long as it lives.
class PrivateFileTest : public ::testing::Test {
 protected:
  PrivateFileTest() {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    ::setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~PrivateFileTest() override {
    if (old_) {
      ::setenv("TMPDIR", old_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }
  size_t Directories() const {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir_.path())) count += entry.is_directory();
    return count;
  }
  testsupport::TempDir dir_;
  std::optional<std::string> old_;
};

TEST_F(PrivateFileTest, HoldsTheBytesForItsOwnerAloneAndGoesWithIt) {
  const std::vector<uint8_t> bytes{1, 2, 3};
  std::string directory;
  {
    PrivateFile file("unit.cry", bytes);
    directory = file.directory();
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<uint8_t> read{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(read, bytes);
    struct stat info {};
    ASSERT_EQ(::stat(directory.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
  }
  EXPECT_FALSE(fs::exists(directory));
}

TEST_F(PrivateFileTest, ACopyLeftByAKilledOwnerIsRemovedByTheNextButALiveOneStays) {
  PrivateFile live("live.cry", std::vector<uint8_t>{1});
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Made, then gone without a word, as a process killed outright.
    PrivateFile left("left.cry", std::vector<uint8_t>{2});
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(Directories(), 2u) << "the killed owner's copy is still there";

  PrivateFile next("next.cry", std::vector<uint8_t>{3});
  EXPECT_EQ(Directories(), 2u);
  EXPECT_TRUE(fs::exists(live.path()));
  EXPECT_TRUE(fs::exists(next.path()));
  // Other things in the temporary directory are no business of it.
  fs::create_directory(dir_.path() / "quarnel-image-without-owner");
  PrivateFile another("another.cry", std::vector<uint8_t>{4});
  EXPECT_TRUE(fs::exists(dir_.path() / "quarnel-image-without-owner"));
}

}  // namespace
}  // namespace platform
