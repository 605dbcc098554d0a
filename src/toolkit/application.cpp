#include "toolkit/application.h"

#include <iostream>

#include "toolkit/exceptions.h"

namespace tk {

Application& Application::Instance() {
  static Application instance;
  return instance;
}

void Application::SetExceptionHandler(std::function<void(std::exception_ptr, TObject*)> handler) {
  handler_ = std::move(handler);
}

void Application::HandleException(std::exception_ptr error, TObject* sender) {
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return;  // an abort ends its handler quietly
  } catch (...) {
  }
  // The report itself must never take the program down.
  try {
    if (handler_) {
      handler_(error, sender);
    } else {
      ShowMessage(ExceptionMessage(error));
    }
  } catch (...) {
    std::cerr << "Error while reporting an error: " << ExceptionMessage(std::current_exception())
              << '\n';
  }
}

void Application::ShowMessage(const std::string& text) {
  if (dialogs_ != nullptr) {
    dialogs_->ShowMessage(text);
  } else {
    std::cerr << text << '\n';
  }
}

bool Application::AskYesNo(const std::string& text) {
  return dialogs_ != nullptr && dialogs_->AskYesNo(text);
}

void RunGuarded(const std::function<void()>& handler, TObject* sender) {
  if (!handler) return;
  try {
    handler();
  } catch (...) {
    Application::Instance().HandleException(std::current_exception(), sender);
  }
}

std::string ExceptionMessage(std::exception_ptr error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace tk
