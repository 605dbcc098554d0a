// Started by the standard-streams test with no standard handles at all: puts
// them right and tells by its exit status what it found (0: all well).
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "platform/standard_streams.h"
#include "platform/unique_handle_win32.h"

namespace {

enum Finding {
  kHadAStream = 1,         // started with a standard handle after all
  kRefused = 2,            // EnsureStandardStreamsOpen returned false
  kHandleMissing = 4,      // a standard handle still missing
  kDescriptorMissing = 8,  // a C runtime descriptor 0..2 still missing
  kPrintFailed = 16,       // printing to standard output or error failed
  kFileTookAStream = 32,   // a file opened later took descriptor 0, 1 or 2
};

constexpr DWORD kStandardHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

bool Usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

int main() {
  int found = 0;
  for (const DWORD which : kStandardHandles) {
    if (Usable(::GetStdHandle(which))) found |= kHadAStream;
  }
  if (!platform::EnsureStandardStreamsOpen()) found |= kRefused;
  for (const DWORD which : kStandardHandles) {
    if (!Usable(::GetStdHandle(which))) found |= kHandleMissing;
  }
  for (int fd = 0; fd <= 2; ++fd) {
    const intptr_t handle = ::_get_osfhandle(fd);
    if (handle == -1 || handle == -2) found |= kDescriptorMissing;
  }
  if (std::printf("to nowhere\n") < 0 || std::fflush(stdout) != 0 ||
      std::fprintf(stderr, "to nowhere\n") < 0 || std::fflush(stderr) != 0) {
    found |= kPrintFailed;
  }
  wchar_t dir[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, dir);
  const std::filesystem::path file =
      std::filesystem::path(dir) / ("quarnel-probe-" + std::to_string(::GetCurrentProcessId()));
  if (std::FILE* opened = ::_wfopen(file.c_str(), L"w")) {
    if (::_fileno(opened) <= 2) found |= kFileTookAStream;
    std::fclose(opened);
    ::DeleteFileW(file.c_str());
  }
  return found;
}
