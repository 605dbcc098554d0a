#include "toolkit/application.h"
#include "toolkit/controls.h"

namespace tk {

bool TOpenDialog::Execute() {
  // Without a dialog service (no display) nothing can be chosen: cancelled.
  DialogService* dialogs = Application::Instance().Dialogs();
  return dialogs != nullptr && dialogs->ExecuteOpenDialog(*this);
}

}  // namespace tk
