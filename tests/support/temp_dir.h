#pragma once
// A private temporary directory for a test, removed with everything in it.
// Tests that start simulators point XDG_RUNTIME_DIR at one, so their virtual
// ports never meet.
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testsupport {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "quarnel-test") {
    // A fresh name, made by this process alone: create_directory fails for
    // a name that exists, so another test's directory is never taken.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate = base / (prefix + "-" + std::to_string(random() % 1000000000));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ec);
        path_ = candidate;
        return;
      }
    }
    throw std::runtime_error("no temporary directory could be made");
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
