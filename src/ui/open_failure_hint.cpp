#include "ui/open_failure_hint.h"

#include <system_error>

namespace quarnel {
namespace {

// The open-failure message ends with " (Error <errno>, <text>)".
bool HasSystemError(std::string_view message, std::errc error) {
  const std::string marker = "(Error " + std::to_string(static_cast<int>(error)) + ",";
  return message.find(marker) != std::string_view::npos;
}

}  // namespace

std::string OpenFailureHint(std::string_view message) {
  if (HasSystemError(message, std::errc::permission_denied)) {
    return "Add your user to the group 'dialout' (sudo usermod -aG dialout $USER) and log in "
           "again.";
  }
  if (HasSystemError(message, std::errc::device_or_resource_busy)) {
    return "Another program holds the port: close it, then connect again.";
  }
  return {};
}

}  // namespace quarnel
