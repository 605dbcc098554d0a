// A log on Windows: device names are never opened as files, and the file
// cannot be deleted while a station writes it.
#include "platform/append_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/regular_file.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

TEST(AppendFileWin32, DeviceNamesAreRefusedWithoutOpeningThem) {
  // "COM3" in any folder names the serial port: opening it would take the
  // port from a station.
  testsupport::TempDir dir;
  for (const std::string& name : {std::string("NUL"), std::string("CON"), std::string("COM3"),
                                  (dir.path() / "com7.log").string(), std::string("\\\\.\\COM9")}) {
    std::string error;
    EXPECT_EQ(AppendFile::Open(name, error), nullptr) << name;
    EXPECT_NE(error.find("it is a device"), std::string::npos) << name << ": " << error;
    EXPECT_EQ(ReadRegularFile(name, 1024, error), std::nullopt) << name;
    EXPECT_NE(error.find("it is a device"), std::string::npos) << name << ": " << error;
  }
}

// Run by ctest once more with file sizes limited to QUARNEL_FILE_SIZE_LIMIT
// bytes (ulimit -f), which Wine turns into writes cut short as on a full disk.
TEST(AppendFileWin32, ALineCutShortByAFullDiskIsTakenBackAndTheNextStandsAlone) {
  const char* limit_text = std::getenv("QUARNEL_FILE_SIZE_LIMIT");
  if (limit_text == nullptr) GTEST_SKIP() << "needs a limit on the size of files";
  const size_t limit = std::stoul(limit_text);
  testsupport::TempDir dir;
  const auto path = dir.path() / "units.log";
  std::string error;
  auto file = AppendFile::Open(path.string(), error);
  ASSERT_NE(file, nullptr) << error;
  const std::string first = std::string(limit - 161 - 1, 'a') + "\n";
  const std::string cut = std::string(453, 'b') + "\n";
  ASSERT_TRUE(file->Append(first, error)) << error;
  EXPECT_FALSE(file->Append(cut, error));
  EXPECT_NE(error.find("only 161 of 454 bytes written"), std::string::npos) << error;
  EXPECT_NE(error.find("taken back"), std::string::npos) << error;
  EXPECT_EQ(testsupport::ReadText(path), first) << "the part written must go";
  ASSERT_TRUE(file->Append("cc\n", error)) << error;
  EXPECT_EQ(testsupport::ReadText(path), first + "cc\n");
}

TEST(AppendFileWin32, TheOpenLogCannotBeDeletedNorItsFolderRemoved) {
  testsupport::TempDir dir;
  const auto folder = dir.path() / "logs";
  std::filesystem::create_directory(folder);
  const auto path = folder / "units.log";
  std::string error;
  auto file = AppendFile::Open(path.string(), error);
  ASSERT_NE(file, nullptr) << error;
  EXPECT_FALSE(::DeleteFileW(path.wstring().c_str()));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(::RemoveDirectoryW(folder.wstring().c_str()));
  ASSERT_TRUE(file->Append("{\"unit\":1}\n", error)) << error;
  EXPECT_EQ(testsupport::ReadText(path), "{\"unit\":1}\n");
  file.reset();
  EXPECT_TRUE(::DeleteFileW(path.wstring().c_str())) << "closed, it may go";
}

}  // namespace
}  // namespace platform
