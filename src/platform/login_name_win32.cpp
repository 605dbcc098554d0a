#include <windows.h>

#include "platform/login_name.h"
#include "platform/wide_text_win32.h"

namespace platform {

std::string LoginName() {
  wchar_t name[257] = {};
  DWORD size = static_cast<DWORD>(sizeof name / sizeof name[0]);
  if (!::GetUserNameW(name, &size)) return {};
  return Utf8FromWide(name);
}

}  // namespace platform
