#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/login_name.h"

namespace platform {

std::string LoginName() {
  // The account the program runs as; a service without a terminal has no
  // login session, so getlogin() would not do.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_name != nullptr) {
    return found->pw_name;
  }
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

}  // namespace platform
