// Lines appended by several writers at once: each one whole, on a line of its
// own, in a file that only ordinary files can be.
#include "platform/append_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

std::unique_ptr<AppendFile> OpenOrFail(const std::filesystem::path& path) {
  std::string error;
  auto file = AppendFile::Open(path.string(), error);
  EXPECT_NE(file, nullptr) << error;
  return file;
}

// "writer index xxx...x", a different length for each line.
std::string LineOf(int writer, int index) {
  return std::to_string(writer) + " " + std::to_string(index) + " " +
         std::string(static_cast<size_t>(1 + (writer * 131 + index * 17) % 300), 'x') + "\n";
}

TEST(AppendFile, WritersOfTheirOwnEachLeaveWholeLines) {
  // One object per writer, as two processes have: they exclude each other
  // through the file itself.
  testsupport::TempDir dir;
  const auto path = dir.path() / "units.log";
  constexpr int kWriters = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.emplace_back([&, writer] {
      auto file = OpenOrFail(path);
      if (!file) return;
      for (int index = 0; index < kLines; ++index) {
        std::string error;
        EXPECT_TRUE(file->Append(LineOf(writer, index), error)) << error;
      }
    });
  }
  for (auto& writer : writers) writer.join();

  std::map<int, int> next;  // each writer's lines in its own order
  const auto lines = testsupport::SplitLines(testsupport::ReadText(path));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kWriters * kLines));
  for (const std::string& line : lines) {
    const int writer = std::stoi(line);
    const int index = std::stoi(line.substr(line.find(' ') + 1));
    ASSERT_EQ(line + "\n", LineOf(writer, index)) << "a line mixed with another";
    EXPECT_EQ(index, next[writer]++);
  }
}

TEST(AppendFile, APartOfALineLeftAtTheEndIsEndedBeforeTheNextLine) {
  // A writer killed in the middle of its write left part of a line: it stays
  // (it is not ours to remove), but no line is joined to it.
  testsupport::TempDir dir;
  const auto path = dir.path() / "units.log";
  std::ofstream(path, std::ios::binary) << "{\"whole\":1}\n{\"cut\":";
  auto file = OpenOrFail(path);
  ASSERT_NE(file, nullptr);
  std::string error;
  ASSERT_TRUE(file->Append("{\"next\":2}\n", error)) << error;
  ASSERT_TRUE(file->Append("{\"next\":3}\n", error)) << error;
  EXPECT_EQ(testsupport::ReadText(path), "{\"whole\":1}\n{\"cut\":\n{\"next\":2}\n{\"next\":3}\n");
}

TEST(AppendFile, AFolderIsRefusedSayingWhatItIs) {
  testsupport::TempDir dir;
  std::string error;
  EXPECT_EQ(AppendFile::Open(dir.path().string(), error), nullptr);
  EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
  EXPECT_NE(error.find("name an ordinary file"), std::string::npos) << error;
}

}  // namespace
}  // namespace platform
