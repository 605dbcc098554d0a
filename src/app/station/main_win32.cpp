// quarnel-station.exe: the operator's window of a station on Windows. The
// thread's message loop drives the main loop and the system's own controls
// show the station window's model; the station file says everything else.
#include "app/win32_program_start.h"
// clang-format off
#include <shellapi.h>
// clang-format on

#include <string>

#include "app/station/station_program.h"
#include "app/window_program.h"
#include "platform/hidden_console.h"
#include "platform/wide_text_win32.h"
#include "quarnel_version.h"
#include "toolkit/application.h"
#include "view/win32/win32_dialog_service.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_form_view.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const quarnel::app::Win32ProgramStart start;
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

  return quarnel::app::RunWindowProgram<tk::Win32EventLoop, tk::Win32DialogService>(
      "Quarnel Station", [&](tk::Win32EventLoop& loop) {
        if (version) {
          // A window program has no console: the version in a box.
          tk::Application::Instance().ShowMessage(std::string("quarnel-station ") +
                                                  quarnel::kVersion);
          return 0;
        }
        if (recipe.empty() && !quarnel::station_app::AskForStationFile(
                                  "Station files (*.toml)|*.toml|All files|*.*", recipe)) {
          return 0;
        }
        quarnel::station_app::RememberStationFile(recipe);
        quarnel::station_app::StationProgram program(recipe);
        quarnel::station_app::RunStationWindow<tk::Win32FormView>(program, loop);
        return 0;
      });
}
