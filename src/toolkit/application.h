#pragma once
// The application object: its title, the general error report, and the
// services that show modal things (message boxes, the file-open dialog). The
// window program installs Qt services; the command-line front end and the
// tests install their own.
#include <exception>
#include <functional>
#include <string>

#include "toolkit/object.h"

namespace tk {

class TOpenDialog;

class DialogService {
 public:
  virtual ~DialogService() = default;
  // A modal message box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The modal file-open dialog: true with dialog.FileName() set when the
  // operator chose a file, false when cancelled.
  virtual bool ExecuteOpenDialog(TOpenDialog& dialog) = 0;
  // A modal question with Yes and No: true for Yes. A service that cannot
  // ask answers No, the answer that changes nothing.
  virtual bool AskYesNo(const std::string& /*text*/) { return false; }
};

class Application {
 public:
  static Application& Instance();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // The general error report: an exception that escaped a handler. By default
  // its message is shown with ShowMessage; an abort exception is ignored.
  void HandleException(std::exception_ptr error, TObject* sender = nullptr);
  // Replaces the default report (tests and the command-line front end).
  void SetExceptionHandler(std::function<void(std::exception_ptr, TObject*)> handler);

  // Installed by the driver; must outlive its use. Without one, messages go
  // to stderr and the open dialog is cancelled.
  void SetDialogService(DialogService* service) { dialogs_ = service; }
  DialogService* Dialogs() const { return dialogs_; }
  void ShowMessage(const std::string& text);
  // Yes or No from the operator; No without a dialog service.
  bool AskYesNo(const std::string& text);

 private:
  std::string title_;
  std::function<void(std::exception_ptr, TObject*)> handler_;
  DialogService* dialogs_ = nullptr;
};

// Runs `handler`; an exception escaping it goes to the general error report.
void RunGuarded(const std::function<void()>& handler, TObject* sender = nullptr);

// The message of any exception; "Unknown error" for one that is no std::exception.
std::string ExceptionMessage(std::exception_ptr error);

}  // namespace tk
