#include "platform/device_names.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

TEST(ResolveDeviceNameWin32, BareNamesAreDevicesPathsStandAsTheyAre) {
  // Every port through the device namespace: COM10 and above need it.
  EXPECT_EQ(ResolveDeviceName("COM1"), "\\\\.\\COM1");
  EXPECT_EQ(ResolveDeviceName("COM10"), "\\\\.\\COM10");
  EXPECT_EQ(ResolveDeviceName("com256"), "\\\\.\\com256");
  EXPECT_EQ(ResolveDeviceName("COM3:"), "\\\\.\\COM3");
  EXPECT_EQ(ResolveDeviceName("CNCA0"), "\\\\.\\CNCA0");  // a driver's own port name
  // Already in the device namespace, or a path.
  EXPECT_EQ(ResolveDeviceName("\\\\.\\COM12"), "\\\\.\\COM12");
  EXPECT_EQ(ResolveDeviceName("\\\\?\\usb#vid_0403"), "\\\\?\\usb#vid_0403");
  EXPECT_EQ(ResolveDeviceName("C:\\ports\\sim"), "C:\\ports\\sim");
  EXPECT_EQ(ResolveDeviceName("C:sim"), "C:sim");
  EXPECT_EQ(ResolveDeviceName("./sim"), "./sim");
  EXPECT_EQ(ResolveDeviceName(""), "");
}

TEST(ResolveDeviceNameWin32, AResolvedNameOpensTheDevice) {
  const std::wstring path = WideFromUtf8(ResolveDeviceName("NUL"));
  const UniqueHandle device(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(device) << ::GetLastError();
}

}  // namespace
}  // namespace platform
