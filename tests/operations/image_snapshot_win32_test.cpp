// The image snapshot on Windows: a file name is UTF-8 text in the program,
// and a name outside the ANSI code page opens all the same.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <variant>

#include "operations/image_snapshot.h"
#include "operations/utf8_path.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;

TEST(ImageSnapshotWin32, ANameOutsideTheAnsiCodePageOpens) {
  const fs::path dir =
      fs::temp_directory_path() / (L"quarnel-image-" + std::to_wstring(::GetCurrentProcessId()));
  fs::create_directories(dir);
  // Greek, Cyrillic and Chinese letters: no single ANSI code page has them all.
  const fs::path file = dir / L"Pr\u00fcfling-\u03b1\u0436\u4e2d.cry";
  {
    std::ofstream out(file, std::ios::binary);
    out << std::string(48, 'x');
  }
  const std::string utf8 = Utf8FromPath(file);
  EXPECT_EQ(PathFromUtf8(utf8), file);

  const auto taken = ImageSnapshot::Take(utf8);
  const auto* problem = std::get_if<ImageProblem>(&taken);
  EXPECT_EQ(problem, nullptr) << (problem ? problem->reason : "");
  if (const auto* image = std::get_if<ImageSnapshotPtr>(&taken)) {
    EXPECT_EQ((*image)->Size(), 48u);
    EXPECT_EQ((*image)->Path(), utf8);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quarnel
