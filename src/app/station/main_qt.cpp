// quarnel-station: the operator's window of a station on Linux. Qt drives
// the main loop and shows the station window's model; the station file
// says everything else.
#include <QApplication>
#include <QIcon>
#include <cstring>
#include <iostream>

#include "app/station/station_program.h"
#include "app/window_program.h"
#include "quarnel_version.h"
#include "view/qt/qt_dialog_service.h"
#include "view/qt/qt_event_loop.h"
#include "view/qt/qt_form_view.h"

namespace {

constexpr char kUsage[] =
    "Usage: quarnel-station [STATION-FILE]\n"
    "Shows a station of several slots for operators: Start, Stop, a tile per slot with the\n"
    "last unit's PASS or FAIL, counters, a scan field for unit IDs and the last units.\n"
    "Everything else comes from the station file; without one, a dialog asks for it.\n";

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "quarnel-station " << quarnel::kVersion << std::endl;
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    }
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::cerr << kUsage;
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quarnel-station"));
  QApplication::setOrganizationName(QStringLiteral("quarnel"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quarnel.Station"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quarnel.Station")));

  return quarnel::app::RunWindowProgram<tk::QtEventLoop, tk::QtDialogService>(
      "Quarnel Station", [&](tk::QtEventLoop& loop) {
        std::string recipe;
        if (argc == 2) {
          recipe = argv[1];
        } else if (!quarnel::station_app::AskForStationFile(
                       "Station files (*.toml)|*.toml|All files|*", recipe)) {
          return 0;
        }
        quarnel::station_app::RememberStationFile(recipe);
        quarnel::station_app::StationProgram program(recipe);
        quarnel::station_app::RunStationWindow<tk::QtFormView>(program, loop);
        return 0;
      });
}
