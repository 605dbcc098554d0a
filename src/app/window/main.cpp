// quarnel: the window program. Qt drives the main loop and shows the main
// window; everything the window does lives in the window model.
#include <QApplication>
#include <QIcon>

#include "app/window_program.h"
#include "ui/main_window.h"
#include "ui/titles.h"
#include "view/qt/qt_dialog_service.h"
#include "view/qt/qt_event_loop.h"
#include "view/qt/qt_form_view.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quarnel"));
  // The desktop pairs the window with its menu entry and icon by this name;
  // the icon comes from the theme it was installed into.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quarnel.Quarnel"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quarnel.Quarnel")));

  // The taskbar title is "V1.3" while the window's caption reads "V1.31"
  // (ui/main_window.cpp): both as the program has always shown them, not a
  // slip, and both with two blanks before the version.
  return quarnel::app::RunWindowProgram<tk::QtEventLoop, tk::QtDialogService>(
      quarnel::kApplicationTitle, [](tk::QtEventLoop& loop) {
        quarnel::TForm1 form;
        tk::QtFormView view(form);
        view.Show();
        // The window may already be closed (a start-up that ends the program).
        if (!form.Closed()) loop.Run();
        return 0;
      });
}
