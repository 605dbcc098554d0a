#include "app/cli/headless_dialogs.h"

#include "toolkit/controls.h"

namespace quarnel::cli {

void HeadlessDialogs::ShowMessage(const std::string& text) {
  if (on_message_) on_message_(text);
}

bool HeadlessDialogs::ExecuteOpenDialog(tk::TOpenDialog& dialog) {
  dialog.FileName = image_path_;
  return true;
}

ApplicationServicesScope::ApplicationServicesScope(
    tk::DialogService& dialogs, std::function<void(std::exception_ptr, tk::TObject*)> error_report)
    : previous_dialogs_(tk::Application::Instance().Dialogs()) {
  tk::Application::Instance().SetDialogService(&dialogs);
  tk::Application::Instance().SetExceptionHandler(std::move(error_report));
}

ApplicationServicesScope::~ApplicationServicesScope() {
  tk::Application::Instance().SetExceptionHandler(nullptr);
  tk::Application::Instance().SetDialogService(previous_dialogs_);
}

}  // namespace quarnel::cli
