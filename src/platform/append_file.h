#pragma once
// A file that several processes append whole lines to: opened for appending
// (created when missing), and each line goes out in one write, under a lock
// that every AppendFile of the file takes, so lines of different writers
// never mix. A line is in the file whole or not at all: what a full disk
// cut short is taken back.
#include <memory>
#include <optional>
#include <string>

namespace platform {

class AppendFile {
 public:
  // Opens or creates `path` for appending; none, with the reason in `error`,
  // when that is not possible. Refuses, without opening it, anything but an
  // ordinary file on a disk (a folder, a named pipe, a device, a file of
  // /proc or /sys), saying what it is: such a "log" would block, swallow or
  // misplace every line.
  static std::unique_ptr<AppendFile> Open(const std::string& path, std::string& error);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Appends `line` (which ends with its line feed) in one write; false, with
  // the reason in `error`, when it is not in the file whole, and then none of
  // it is. A file that ends in part of a line (a writer killed mid-write)
  // gets a line feed before `line`, so no line is ever joined to another.
  // Fails when the file was deleted, or its folder removed, since it was
  // opened: nobody would ever read the line. (Windows: the file cannot be
  // deleted while it is open.)
  bool Append(const std::string& line, std::string& error);

 private:
  struct Impl;
  explicit AppendFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// This machine's name, for logs; empty when the system does not say.
std::string HostName();

}  // namespace platform
