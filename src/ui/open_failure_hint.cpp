#include "ui/open_failure_hint.h"

#include "platform/system_error.h"

namespace quarnel {

std::string OpenFailureHint(int system_error) {
  switch (platform::ClassifySystemError(system_error, platform::ErrorOccasion::kOpening)) {
    case platform::ErrorKind::kAccessDenied:  // Linux keeps ports to the group dialout
      return "Add your user to the group 'dialout' (sudo usermod -aG dialout $USER) and log in "
             "again.";
    case platform::ErrorKind::kBusy:
      return "Another program holds the port: close it, then connect again.";
    default:
      return {};
  }
}

}  // namespace quarnel
