// quarnel-station.exe: the operator's window of a station on Windows. The
// thread's message loop drives the main loop and the system's own controls
// show the station window's model; the station file says everything else.
#include "view/win32/win32_api.h"
// clang-format off
#include <objbase.h>
#include <shellapi.h>
// clang-format on

#include <string>

#include "app/station/station_program.h"
#include "platform/hidden_console.h"
#include "platform/wide_text_win32.h"
#include "quarnel_version.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "view/win32/win32_dialog_service.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_form_view.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // The children are console programs: one hidden console for all of them.
  platform::ShareHiddenConsoleWithChildren();

  // The arguments as the system gives them, in UTF-16.
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::string recipe;
  bool version = false;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    const std::string arg = platform::Utf8FromWide(argv[i]);
    if (arg == "--version") {
      version = true;
    } else if (recipe.empty()) {
      recipe = arg;
    }
  }
  if (argv != nullptr) LocalFree(argv);

  int status = 0;
  {
    tk::Win32EventLoop loop;  // installs itself as the main loop
    tk::Win32DialogService dialogs;
    tk::Application& application = tk::Application::Instance();
    application.SetTitle("Quarnel Station");
    application.SetDialogService(&dialogs);
    if (version) {
      // A window program has no console: the version in a box.
      application.ShowMessage(std::string("quarnel-station ") + quarnel::kVersion);
    } else {
      const bool chosen =
          !recipe.empty() || quarnel::station_app::AskForStationFile(
                                 "Station files (*.toml)|*.toml|All files|*.*", recipe);
      if (chosen) {
        quarnel::station_app::RememberStationFile(recipe);
        try {
          quarnel::station_app::StationProgram program(recipe);
          quarnel::station_app::RunStationWindow<tk::Win32FormView>(program, loop);
        } catch (...) {
          application.HandleException(std::current_exception());
          status = 1;
        }
      }
    }
    application.SetDialogService(nullptr);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
