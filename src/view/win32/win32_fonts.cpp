#include "view/win32/win32_fonts.h"

#include <algorithm>
#include <string>

#include "platform/wide_text_win32.h"
#include "view/core/font_faces.h"

namespace tk {

namespace {

void SetFace(LOGFONTW& font, const std::wstring& face) {
  const size_t n = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::copy_n(face.begin(), n, font.lfFaceName);
  font.lfFaceName[n] = L'\0';
}

}  // namespace

LOGFONTW Win32LogFontFor(const TFont& font, int dpi) {
  LOGFONTW result{};
  const int height = MulDiv(std::max(font.height, 1), dpi, 96);
  // Negative: the character height, as the window definition gives it.
  result.lfHeight = -height;
  result.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  result.lfCharSet = DEFAULT_CHARSET;
  result.lfOutPrecision = OUT_DEFAULT_PRECIS;
  result.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  result.lfQuality = DEFAULT_QUALITY;
  switch (FaceKindOf(font)) {
    case FaceKind::kSansSerif:
      // The dialog face of every Windows since 2000, made to replace MS Sans Serif.
      // The heights the window gives this face, 13 and 16, are the line heights
      // of MS Sans Serif at 8 and 10 points, the sizes its layout was cut for:
      // asked for as line heights (positive), the dialog face comes out at
      // those sizes. A caption that still does not fit its place on this
      // machine's face steps down (view/core/caption_fit.h).
      result.lfHeight = height;
      result.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
      SetFace(result, L"MS Shell Dlg 2");
      break;
    case FaceKind::kFixedPitch:
      result.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
      SetFace(result, L"Courier New");
      break;
    case FaceKind::kAsNamed:
      result.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
      SetFace(result, platform::WideFromUtf8(font.name));
      break;
  }
  return result;
}

Win32FontCache::~Win32FontCache() {
  for (const auto& entry : fonts_) DeleteObject(entry.second);
}

HFONT Win32FontCache::Get(const TFont& font) {
  const auto key = std::make_tuple(font.name, font.height, font.bold);
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  const LOGFONTW logical = Win32LogFontFor(font, dpi_);
  HFONT handle = CreateFontIndirectW(&logical);
  if (handle == nullptr)
    handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  else
    fonts_.emplace(key, handle);
  return handle;
}

}  // namespace tk
