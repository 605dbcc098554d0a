// quarnel: the window program on Windows. The thread's message loop drives
// the main loop and the system's own controls show the main window;
// everything the window does lives in the window model.
#include "app/win32_program_start.h"
#include "app/window_program.h"
#include "ui/main_window.h"
#include "ui/titles.h"
#include "view/win32/win32_dialog_service.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_form_view.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const quarnel::app::Win32ProgramStart start;
  // The title of the message boxes is "V1.3" while the window's caption
  // reads "V1.31" (ui/main_window.cpp): both as the program has always
  // shown them, not a slip, and both with two blanks before the version.
  return quarnel::app::RunWindowProgram<tk::Win32EventLoop, tk::Win32DialogService>(
      quarnel::kApplicationTitle, [](tk::Win32EventLoop& loop) {
        quarnel::TForm1 form;
        tk::Win32FormView view(form);
        view.Show();
        // The window may already be closed (a start-up that ends the program).
        if (!form.Closed()) loop.Run();
        return 0;
      });
}
