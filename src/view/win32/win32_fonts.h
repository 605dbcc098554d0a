#pragma once
// The window's fonts as the system's own faces on Windows.
#include <map>
#include <tuple>

#include "toolkit/controls.h"
#include "view/win32/win32_api.h"

namespace tk {

// "MS Sans Serif" becomes the system's dialog face ("MS Shell Dlg 2") at
// the size the height stands for in that face, "Courier" and "Courier New"
// the fixed-pitch "Courier New"; any other name is asked for as it stands.
// Heights are pixels at 96 dots per inch, scaled to `dpi`.
LOGFONTW Win32LogFontFor(const TFont& font, int dpi);

// One font object per distinct font; freed with the cache.
class Win32FontCache {
 public:
  explicit Win32FontCache(int dpi) : dpi_(dpi) {}
  ~Win32FontCache();
  Win32FontCache(const Win32FontCache&) = delete;
  Win32FontCache& operator=(const Win32FontCache&) = delete;
  HFONT Get(const TFont& font);

 private:
  int dpi_;
  std::map<std::tuple<std::string, int, bool>, HFONT> fonts_;
};

}  // namespace tk
