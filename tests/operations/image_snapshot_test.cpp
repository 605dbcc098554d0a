// The image as a run reads it: whole, once, with its size and SHA-256, or the
// reason it cannot be programmed.
#include "operations/image_snapshot.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "support/files.h"
#include "support/temp_dir.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;
using Kind = ImageProblem::Kind;

class ImageSnapshotTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "image.cry") {
    const fs::path path = dir.path() / name;
    testsupport::WriteBytes(path, bytes);
    return path.string();
  }
  static ImageProblem ProblemOf(const std::string& path) {
    const auto taken = ImageSnapshot::Take(path);
    EXPECT_TRUE(std::holds_alternative<ImageProblem>(taken)) << path;
    return std::holds_alternative<ImageProblem>(taken) ? std::get<ImageProblem>(taken)
                                                       : ImageProblem{};
  }

  testsupport::TempDir dir;
};

TEST_F(ImageSnapshotTest, KnowsItsSizeAndSha256) {
  const std::string path = Write({'a', 'b', 'c'});
  const auto taken = ImageSnapshot::Take(path);
  ASSERT_TRUE(std::holds_alternative<ImageSnapshotPtr>(taken));
  const ImageSnapshot& image = *std::get<ImageSnapshotPtr>(taken);
  EXPECT_EQ(image.Path(), path);
  EXPECT_EQ(image.Size(), 3u);
  // The test vector of the standard.
  EXPECT_EQ(image.Sha256(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST_F(ImageSnapshotTest, CutsBlocksAndFillsTheLastWithZeros) {
  const auto bytes = testsupport::CountingBytes(50);
  const auto image = ImageSnapshot::FromBytes("x.cry", bytes);
  EXPECT_EQ(image->BlockCount(24), 3u);
  std::array<uint8_t, 24> block{};
  block.fill(0xFF);
  EXPECT_EQ(image->CopyBlock(1, block), 24u);
  EXPECT_EQ(block[0], bytes[24]);
  EXPECT_EQ(image->CopyBlock(2, block), 2u);
  EXPECT_EQ(block[1], bytes[49]);
  EXPECT_EQ(block[2], 0);
  EXPECT_EQ(block[23], 0);
  EXPECT_EQ(image->CopyBlock(3, block), 0u);
}

TEST_F(ImageSnapshotTest, SaysWhyAFileCannotBeProgrammed) {
  const ImageProblem missing = ProblemOf((dir.path() / "missing.cry").string());
  EXPECT_EQ(missing.kind, Kind::kNotFound);
  EXPECT_EQ(missing.Describe(), (dir.path() / "missing.cry").string() + " not found");
  EXPECT_EQ(ProblemOf(Write({}, "empty.cry")).reason, "is empty");
  EXPECT_EQ(ProblemOf(dir.path().string()).reason, "is not a file");
  EXPECT_EQ(ProblemOf((dir.path() / "missing" / "x.cry").string()).kind, Kind::kNotFound);

  // Bigger than any image for these targets: refused, not read into memory.
  const std::string huge = Write({}, "huge.cry");
  fs::resize_file(huge, ImageSnapshot::kMaxSize + 1);
  EXPECT_EQ(ProblemOf(huge).kind, Kind::kTooLarge);

  // /proc/self/mem opens as an empty regular file whose first read fails.
  if (fs::is_regular_file("/proc/self/mem")) {
    const ImageProblem unreadable = ProblemOf("/proc/self/mem");
    EXPECT_EQ(unreadable.kind, Kind::kUnreadable);
    EXPECT_EQ(unreadable.reason, "cannot be read: Input/output error");
  }
}

TEST_F(ImageSnapshotTest, AFileWithoutReadPermissionIsUnreadable) {
  const std::string path = Write({1, 2, 3});
  fs::permissions(path, fs::perms::none);
  if (std::ifstream(path).good()) GTEST_SKIP() << "running with rights that read anything";
  const ImageProblem problem = ProblemOf(path);
  EXPECT_EQ(problem.kind, Kind::kUnreadable);
  EXPECT_EQ(problem.reason, "cannot be read: Permission denied");
}

}  // namespace
}  // namespace quarnel
