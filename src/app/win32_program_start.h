#pragma once
// What a window program on Windows sets up before its first window and
// undoes at its end: the common controls of the manifest's version (the
// progress bar's class among them) and COM, which the shell's file-open
// dialog is made of.
#include "view/win32/win32_api.h"
// clang-format off
#include <objbase.h>
// clang-format on

namespace quarnel::app {

class Win32ProgramStart {
 public:
  Win32ProgramStart() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    com_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  }
  ~Win32ProgramStart() {
    if (SUCCEEDED(com_)) CoUninitialize();
  }
  Win32ProgramStart(const Win32ProgramStart&) = delete;
  Win32ProgramStart& operator=(const Win32ProgramStart&) = delete;

 private:
  HRESULT com_ = E_FAIL;
};

}  // namespace quarnel::app
