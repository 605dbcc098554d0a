#include "view/win32/win32_dialog_service.h"

#include <vector>

#include "platform/wide_text_win32.h"
#include "toolkit/controls.h"
#include "view/win32/win32_api.h"

namespace tk {

namespace {

std::wstring TitleOrDefault() {
  const std::string& title = Application::Instance().Title();
  return platform::WideFromUtf8(title.empty() ? std::string("Quarnel") : title);
}

// The window of this thread that the operator works in: boxes stay in front of it.
HWND OwnerWindow() {
  HWND active = GetActiveWindow();
  return active != nullptr && IsWindowVisible(active) ? active : nullptr;
}

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return parts;
    start = bar + 1;
  }
}

}  // namespace

std::wstring Win32FilterText(const std::string& filter) {
  std::wstring result;
  if (filter.empty()) return result;
  const std::vector<std::string> parts = SplitBars(filter);
  for (size_t i = 0; i < parts.size(); i += 2) {
    const std::string& text = parts[i];
    const std::string& patterns = i + 1 < parts.size() ? parts[i + 1] : text;
    if (text.empty() && patterns.empty()) continue;
    result += platform::WideFromUtf8(text.empty() ? patterns : text);
    result.push_back(L'\0');
    result += platform::WideFromUtf8(patterns);
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

void Win32DialogService::ShowMessage(const std::string& text) {
  const std::wstring title = TitleOrDefault();
  MessageBoxW(OwnerWindow(), platform::WideFromUtf8(text).c_str(), title.c_str(), MB_OK);
}

bool Win32DialogService::AskYesNo(const std::string& text) {
  const std::wstring title = TitleOrDefault();
  return MessageBoxW(OwnerWindow(), platform::WideFromUtf8(text).c_str(), title.c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool Win32DialogService::ExecuteOpenDialog(TOpenDialog& dialog) {
  // Long paths fit: the dialog writes the chosen path into this buffer.
  std::vector<wchar_t> path(32768, L'\0');
  std::wstring initial_dir;
  if (!dialog.FileName.empty()) {
    // Start where the last choice was, as the operator expects.
    const std::wstring last = platform::WideFromUtf8(dialog.FileName);
    const size_t slash = last.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? last : last.substr(slash + 1);
    if (slash != std::wstring::npos) initial_dir = last.substr(0, slash);
    if (name.size() < path.size()) std::copy(name.begin(), name.end(), path.begin());
  }
  const std::wstring filter = Win32FilterText(dialog.Filter);
  const std::wstring default_ext = platform::WideFromUtf8(dialog.DefaultExt);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = OwnerWindow();
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path.data();
  ofn.nMaxFile = static_cast<DWORD>(path.size());
  ofn.lpstrInitialDir = initial_dir.empty() ? nullptr : initial_dir.c_str();
  ofn.lpstrDefExt = default_ext.empty() ? nullptr : default_ext.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (dialog.Options & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  if (dialog.Options & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (dialog.Options & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
  if (dialog.Options & ofEnableSizing) ofn.Flags |= OFN_ENABLESIZING;
  if (dialog.OptionsEx & ofExNoPlacesBar) ofn.FlagsEx |= OFN_EX_NOPLACESBAR;
  if (!GetOpenFileNameW(&ofn)) return false;  // cancelled (or the dialog failed)
  dialog.FileName = platform::Utf8FromWide(path.data());
  return true;
}

}  // namespace tk
