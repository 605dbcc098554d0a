#pragma once
// Message boxes and the file-open dialog of the window program, made with Qt.
#include <QStringList>
#include <string>

#include "toolkit/application.h"

namespace tk {

class QtDialogService : public DialogService {
 public:
  // Shows an OK box titled with the application's title.
  void ShowMessage(const std::string& text) override;
  // Yes and No, No the default.
  bool AskYesNo(const std::string& text) override;
  // Asks for one existing file; dialog.FileName gets its full path.
  bool ExecuteOpenDialog(TOpenDialog& dialog) override;
};

// "Text|pattern|Text|pattern" (patterns separated by ';') as Qt name
// filters: "Text (pattern pattern)". An odd trailing text is its own pattern.
QStringList QtNameFilters(const std::string& filter);

}  // namespace tk
