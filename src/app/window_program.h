#pragma once
// What every window program does around its window, on either system: the
// system's main loop (`Loop`) and dialogs (`Dialogs`) installed, the title
// of its message boxes set; `body(loop)` gives the exit status, and an
// exception that leaves it is shown to the user and makes the status 1.
#include <exception>
#include <string>

#include "toolkit/application.h"

namespace quarnel::app {

template <class Loop, class Dialogs, class Body>
int RunWindowProgram(const std::string& title, Body&& body) {
  Loop loop;  // installs itself as the main loop
  Dialogs dialogs;
  tk::Application& application = tk::Application::Instance();
  application.SetTitle(title);
  application.SetDialogService(&dialogs);
  int status = 0;
  try {
    status = body(loop);
  } catch (...) {
    // The window could not be made or failed: say why before giving up.
    application.HandleException(std::current_exception());
    status = 1;
  }
  application.SetDialogService(nullptr);
  return status;
}

}  // namespace quarnel::app
