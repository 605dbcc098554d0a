#include "ui/open_failure_hint.h"

#include <cerrno>

namespace quarnel {

std::string OpenFailureHint(int system_error) {
  switch (system_error) {
    case EACCES:
      return "Add your user to the group 'dialout' (sudo usermod -aG dialout $USER) and log in "
             "again.";
    case EBUSY:
      return "Another program holds the port: close it, then connect again.";
    default:
      return {};
  }
}

}  // namespace quarnel
