#pragma once
// What a toolkit does with the widget or window that shows one control,
// whatever its kind. The view core decides what to show; a toolkit's view
// implements this once for all its widgets. Pixels are those of the window
// definition: a toolkit that draws at another resolution scales them.
#include <string>

#include "toolkit/controls.h"

namespace tk {

struct TextExtent {
  int width = 0;
  int height = 0;
};

class NativeControl {
 public:
  virtual ~NativeControl() = default;

  // Place and size within the container it is in.
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // The face, size, weight and colour its text is shown in.
  virtual void SetFont(const TFont& font) = 0;
  // Into the native of another control, in front of what is there already;
  // nullptr: out of sight, in no window.
  virtual void MoveInto(NativeControl* container) = 0;
  // Whether the keyboard focus is on it or on a native inside it.
  virtual bool HasFocus() const = 0;
  virtual void TakeFocus() = 0;

  // The room `text` takes in `font`: on one line when `wrap_width` is 0, else
  // broken into lines within that width.
  virtual TextExtent MeasureText(const TFont& font, const std::string& text,
                                 int wrap_width = 0) const = 0;
};

}  // namespace tk
