#pragma once
// A file that several processes append whole lines to: opened for appending
// (created when missing), and each line goes out in one write, so lines of
// different writers never mix.
#include <memory>
#include <optional>
#include <string>

namespace platform {

class AppendFile {
 public:
  // Opens or creates `path` for appending; none, with the system's reason in
  // `error`, when that is not possible.
  static std::unique_ptr<AppendFile> Open(const std::string& path, std::string& error);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Appends `line` (which ends with its line feed) in one write; false, with
  // the reason in `error`, when not all of it was written.
  bool Append(const std::string& line, std::string& error);

 private:
  struct Impl;
  explicit AppendFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// This machine's name, for logs; empty when the system does not say.
std::string HostName();

}  // namespace platform
