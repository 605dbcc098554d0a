#pragma once
// Message boxes and the file-open dialog of the window program: the
// system's own, titled with the application's title.
#include <string>

#include "toolkit/application.h"

namespace tk {

class Win32DialogService : public DialogService {
 public:
  // An OK box over the active window, titled with the application's title.
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  // The standard dialog for one existing file; dialog.FileName gets its full path.
  bool ExecuteOpenDialog(TOpenDialog& dialog) override;
};

// "Text|pattern|Text|pattern" as the dialog's filter: each part ends with a
// NUL and the whole with a second one. An odd trailing text is its own pattern.
std::wstring Win32FilterText(const std::string& filter);

}  // namespace tk
