#pragma once
// The firmware image as the programming run sees it: opaque bytes read from
// the start, one block at a time, so memory stays the same whatever the size.
// The file is opened for reading only: a read-only image programs like any
// other, and others may go on reading and writing it meanwhile.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "toolkit/exceptions.h"

namespace quarnel {

// A read error of the image, with the system's text.
class EInOutError : public tk::Exception {
 public:
  using tk::Exception::Exception;
  std::string ClassName() const override { return "EInOutError"; }
};

class ImageReader {
 public:
  // Null when `path` names no regular file that can be opened for reading.
  static std::unique_ptr<ImageReader> Open(const std::string& path);

  ImageReader(const ImageReader&) = delete;
  ImageReader& operator=(const ImageReader&) = delete;

  // Size in bytes when the file was opened.
  uintmax_t Size() const { return size_; }

  // Fills the start of `block` with the next bytes of the file and returns
  // how many; fewer than asked only at the end of the file, 0 there.
  // Throws EInOutError when the system reports a read error.
  size_t Read(std::span<uint8_t> block);

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

  ImageReader(FileHandle file, uintmax_t size) : file_(std::move(file)), size_(size) {}

  FileHandle file_;
  uintmax_t size_ = 0;
};

}  // namespace quarnel
