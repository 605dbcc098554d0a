// The system's message box and file-open dialog, as the window's handlers
// use them: modal, while timers and calls from other threads go on.
#include "view/win32/win32_dialog_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_text.h"
// clang-format off
#include <dlgs.h>
// clang-format on

namespace {

using namespace std::string_literals;

// The system's dialog window (class "#32770") that this thread shows now.
HWND OpenDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

class Win32DialogServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { tk::Application::Instance().SetTitle("Quarnel  V1.3"); }
  void TearDown() override { tk::Application::Instance().SetTitle(""); }
  tk::Win32EventLoop loop_;
  tk::Win32DialogService dialogs_;
};

TEST_F(Win32DialogServiceTest, MessageBoxHasTheApplicationTitleAndTheLoopRunsMeanwhile) {
  // A call from another thread is made while the box is open; the box is
  // closed by a timer once that call has run on this thread.
  std::atomic<bool> call_ran{false};
  std::wstring title, text;
  std::thread worker;
  const auto timer = loop_.AddTimer(20, [&] {
    HWND box = OpenDialog();
    if (box == nullptr) return;
    if (!worker.joinable())
      worker = std::thread([&] { loop_.Synchronize([&] { call_ran = true; }); });
    if (!call_ran) return;
    title = tk::WindowText(box);
    text = tk::WindowText(GetDlgItem(box, 0xFFFF));  // the box's text
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  dialogs_.ShowMessage("Port COM5 open");
  loop_.RemoveTimer(timer);
  if (worker.joinable()) worker.join();
  EXPECT_TRUE(call_ran);
  EXPECT_EQ(title, L"Quarnel  V1.3");
  EXPECT_EQ(text, L"Port COM5 open");
}

TEST_F(Win32DialogServiceTest, FileDialogOffersTheFilterAndReturnsTheChosenPath) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"quarnel dialog test.cry";
  std::ofstream(path.c_str()) << "image";

  tk::TOpenDialog dialog;
  dialog.Filter = "*.cry|*.cry";
  dialog.DefaultExt = "cry";
  dialog.Options |= tk::ofFileMustExist;
  std::wstring first_type;
  const auto timer = loop_.AddTimer(50, [&] {
    HWND box = OpenDialog();
    if (box == nullptr) return;
    HWND types = GetDlgItem(box, cmb1);  // "Files of type"
    wchar_t item[64] = {};
    if (types != nullptr) SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    first_type = item;
    SendMessageW(box, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageW(box, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  const bool chosen = dialogs_.ExecuteOpenDialog(dialog);
  loop_.RemoveTimer(timer);
  DeleteFileW(path.c_str());
  EXPECT_EQ(first_type, L"*.cry");
  ASSERT_TRUE(chosen);
  EXPECT_EQ(tk::Wide(dialog.FileName), path);  // UTF-8, whole
}

TEST(Win32DialogService, FilterTextPairsTextAndPatternWithNuls) {
  EXPECT_EQ(tk::Win32FilterText("*.cry|*.cry"), L"*.cry\0*.cry\0\0"s);
  EXPECT_EQ(tk::Win32FilterText("Images|*.cry;*.hex|All"), L"Images\0*.cry;*.hex\0All\0All\0\0"s);
  EXPECT_EQ(tk::Win32FilterText(""), L""s);
}

}  // namespace
