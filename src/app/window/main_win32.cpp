// quarnel: the window program on Windows. The thread's message loop drives
// the main loop and the system's own controls show the main window;
// everything the window does lives in the window model.
#include "view/win32/win32_api.h"
// clang-format off
#include <objbase.h>
// clang-format on

#include "toolkit/application.h"
#include "ui/main_window.h"
#include "ui/titles.h"
#include "view/win32/win32_dialog_service.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_form_view.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The progress bar's class, and the common controls of the manifest's version.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The file-open dialog is made of the shell's objects, which want COM.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  int status = 0;
  {
    tk::Win32EventLoop loop;  // installs itself as the main loop
    tk::Win32DialogService dialogs;
    tk::Application& application = tk::Application::Instance();
    // The title of the message boxes is "V1.3" while the window's caption
    // reads "V1.31" (ui/main_window.cpp): both as the program has always
    // shown them, not a slip, and both with two blanks before the version.
    application.SetTitle(quarnel::kApplicationTitle);
    application.SetDialogService(&dialogs);
    try {
      quarnel::TForm1 form;
      tk::Win32FormView view(form);
      view.Show();
      // The window may already be closed (a start-up that ends the program).
      if (!form.Closed()) loop.Run();
    } catch (...) {
      // The window could not be made: say why before giving up.
      application.HandleException(std::current_exception());
      status = 1;
    }
    application.SetDialogService(nullptr);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
