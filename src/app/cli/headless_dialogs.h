#pragma once
// The modal things of the window, answered without a display: the file
// dialog chooses the image given on the command line, and a message box is
// a message on stderr.
#include <functional>
#include <string>

#include "toolkit/application.h"

namespace quarnel::cli {

class HeadlessDialogs : public tk::DialogService {
 public:
  // `on_message` sees the text of every message box.
  HeadlessDialogs(std::string image_path, std::function<void(const std::string&)> on_message)
      : image_path_(std::move(image_path)), on_message_(std::move(on_message)) {}

  void ShowMessage(const std::string& text) override;
  bool ExecuteOpenDialog(tk::TOpenDialog& dialog) override;

 private:
  std::string image_path_;
  std::function<void(const std::string&)> on_message_;
};

// Installs the dialogs and an error report on the application for as long as
// it lives, and puts back what was there.
class ApplicationServicesScope {
 public:
  ApplicationServicesScope(tk::DialogService& dialogs,
                           std::function<void(std::exception_ptr, tk::TObject*)> error_report);
  ~ApplicationServicesScope();
  ApplicationServicesScope(const ApplicationServicesScope&) = delete;
  ApplicationServicesScope& operator=(const ApplicationServicesScope&) = delete;

 private:
  tk::DialogService* previous_dialogs_;
};

}  // namespace quarnel::cli
