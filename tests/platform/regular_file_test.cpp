// Small files that the user names, read whole, and files told apart by what
// they are rather than how they are named.
#include "platform/regular_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_identity.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_.path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  testsupport::TempDir dir_;
};

TEST_F(FilesTest, AnOrdinaryFileIsReadWhole) {
  std::string error;
  EXPECT_EQ(ReadRegularFile(Write("ports.txt", "COM3\nCOM4\n").string(), 1024, error),
            "COM3\nCOM4\n")
      << error;
  EXPECT_EQ(ReadRegularFile(Write("empty.txt", "").string(), 1024, error), "") << error;
  EXPECT_EQ(ReadRegularFile(Write("exact.txt", "12345").string(), 5, error), "12345") << error;
}

TEST_F(FilesTest, AFileLargerThanAllowedIsRefusedWithItsSize) {
  std::string error;
  EXPECT_EQ(ReadRegularFile(Write("big.txt", std::string(2049, 'x')).string(), 2048, error),
            std::nullopt);
  EXPECT_NE(error.find("2049 bytes"), std::string::npos) << error;
  EXPECT_NE(error.find("2048"), std::string::npos) << error;
}

TEST_F(FilesTest, AFolderOrNothingIsRefusedSayingWhy) {
  std::string error;
  EXPECT_EQ(ReadRegularFile(dir_.path().string(), 1024, error), std::nullopt);
  EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(ReadRegularFile((dir_.path() / "missing.txt").string(), 1024, error), std::nullopt);
  EXPECT_FALSE(error.empty());
}

TEST_F(FilesTest, SameFileKnowsOneFileUnderEveryName) {
  const fs::path image = Write("firmware.cry", "image");
  const fs::path twin = Write("twin.cry", "image");  // the same bytes, another file
  fs::create_hard_link(image, dir_.path() / "hard.cry");
  fs::create_directory(dir_.path() / "sub");

  EXPECT_TRUE(SameFile(image.string(), image.string()));
  EXPECT_TRUE(SameFile(image.string(), (dir_.path() / "hard.cry").string())) << "a hard link";
  EXPECT_TRUE(SameFile(image.string(), (dir_.path() / "sub" / ".." / "firmware.cry").string()));
  EXPECT_FALSE(SameFile(image.string(), twin.string()));
  EXPECT_FALSE(SameFile(image.string(), (dir_.path() / "units.log").string())) << "missing";
  EXPECT_FALSE(SameFile((dir_.path() / "units.log").string(), (dir_.path() / "units.log").string()))
      << "nothing is no file";
}

}  // namespace
}  // namespace platform
