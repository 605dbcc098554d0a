#include "platform/system_error.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/pseudo_terminal.h"
#include "platform/serial_device.h"

namespace platform {
namespace {

TEST(SystemError, LastErrorAndText) {
  errno = ENOENT;
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(EIO), "Input/output error");
  EXPECT_FALSE(SystemErrorText(123456).empty());
}

// What opening a port failed with, as the layers above see it.
ErrorKind OpenFailure(const std::string& path) {
  errno = 0;
  if (SerialDevice::Open(path) != nullptr) return ErrorKind::kOther;
  return ClassifySystemError(LastError(), ErrorOccasion::kOpening);
}

TEST(SystemError, FailedOpensTellWhatTheyMean) {
  EXPECT_EQ(OpenFailure("/dev/quarnel-no-such-port"), ErrorKind::kNotFound);
  EXPECT_EQ(OpenFailure("/dev/ptmx"), ErrorKind::kNotASerialPort);

  PseudoTerminal pty;
  const auto holder = SerialDevice::Open(pty.SlavePath());
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(OpenFailure(pty.SlavePath()), ErrorKind::kBusy);

  char dir[] = "/tmp/quarnel-errors-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::filesystem::path locked = std::filesystem::path(dir) / "port";
  std::ofstream(locked).put('x');
  ::chmod(locked.c_str(), 0);
  // The superuser may open anything; then the file is refused as no serial line.
  EXPECT_EQ(OpenFailure(locked.string()),
            ::geteuid() == 0 ? ErrorKind::kNotASerialPort : ErrorKind::kAccessDenied);
  std::filesystem::remove_all(dir);
}

TEST(SystemError, AVanishedDeviceIsGoneAShutDownOneIsNot) {
  PseudoTerminal pty;
  const auto device = SerialDevice::Open(pty.SlavePath());
  ASSERT_NE(device, nullptr);
  ComStat stat{};
  ASSERT_TRUE(device->ClearError(nullptr, &stat));
  pty.CloseMaster();  // the adapter is unplugged
  ManualResetEvent wakeup;
  uint32_t occurred = 0;
  ASSERT_TRUE(device->WaitCommEvent(&occurred, wakeup));
  int error = 0;
  ASSERT_TRUE(device->Gone(&error));
  EXPECT_EQ(ClassifySystemError(error, ErrorOccasion::kInUse), ErrorKind::kGone);

  PseudoTerminal other;
  const auto closed = SerialDevice::Open(other.SlavePath());
  ASSERT_NE(closed, nullptr);
  closed->Shutdown();
  EXPECT_FALSE(closed->ClearError(nullptr, nullptr));
  EXPECT_EQ(ClassifySystemError(LastError(), ErrorOccasion::kInUse), ErrorKind::kOther);
}

}  // namespace
}  // namespace platform
