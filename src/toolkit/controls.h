#pragma once
// A plain model of the window's controls. Handlers read and write these
// objects; a view (src/view/qt) renders them and follows every change
// through the observers, and feeds clicks, picks and keys back.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/component.h"
#include "toolkit/event_loop.h"

namespace tk {

enum class Change {
  Geometry,  // Left, Top, Width, Height (or a form's client size)
  Visible,
  Enabled,
  Caption,  // caption of a form, label, button or panel
  Font,
  Parent,
  Text,   // text of an edit or a combo box
  Items,  // items of a combo box
  ItemIndex,
  DroppedDown,
  LineAdded,  // a line appended to a memo
  FirstLineRemoved,
  LinesCleared,
  Gauge,  // MinValue, MaxValue or Progress
  Bevel,
  Style,  // border, key preview, scroll bars and the like
  Color,  // a panel's background colour
};

// A colour as 0x00BBGGRR, or clWindowText: the system's colour for text.
using TColor = uint32_t;
constexpr TColor clWindowText = 0x80000008;
// The system's colour of buttons and panels.
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor RgbColor(uint8_t red, uint8_t green, uint8_t blue) {
  return TColor{red} | (TColor{green} << 8) | (TColor{blue} << 16);
}

struct TFont {
  std::string name = "MS Sans Serif";
  int height = 13;  // character height in pixels
  bool bold = false;
  TColor color = clWindowText;
  bool operator==(const TFont&) const = default;
};

class TControl;
using ChangeObserver = std::function<void(TControl& control, Change change)>;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner = nullptr);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v);
  void SetTop(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& f);

  // Containers: the form and panels. A control is drawn inside its parent.
  TControl* Parent() const { return parent_; }
  void SetParent(TControl* parent);
  const std::vector<TControl*>& Children() const { return children_; }

  // Shown on screen: itself and every parent visible.
  bool Showing() const;

  TNotifyEvent OnClick;
  // Runs OnClick (whether or not the control is enabled or shown: disabled
  // controls gate only the operator, and views check that before calling).
  virtual void Click();

  // Observers are told of every property change. The id removes one.
  size_t AddObserver(ChangeObserver observer);
  void RemoveObserver(size_t id);

 protected:
  void Notify(Change change);

 private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  TFont font_;
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;
  std::vector<std::pair<size_t, ChangeObserver>> observers_;
  size_t next_observer_ = 1;
};

enum class TBorderStyle { bsSizeable, bsSingle };
using TShiftState = uint32_t;  // ssShift 1, ssAlt 2, ssCtrl 4
constexpr uint16_t VK_F12 = 123;

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TForm"; }

  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientSize(int w, int h) { SetBounds(Left(), Top(), w, h); }
  TBorderStyle BorderStyle() const { return border_; }
  void SetBorderStyle(TBorderStyle b);
  bool KeyPreview() const { return key_preview_; }
  void SetKeyPreview(bool on);
  // Outer width: the client width plus the single border on both sides.
  int OuterWidth() const;

  // Seen before the focused control when KeyPreview is on. `key` may be changed.
  std::function<void(TObject* sender, uint16_t& key, TShiftState shift)> OnKeyDown;
  TNotifyEvent OnClose;
  // Asked before the form closes: false keeps it open.
  std::function<bool()> OnCloseQuery;
  // The client size changed (the operator resized a sizeable window).
  TNotifyEvent OnResize;
  // Offers a key to the form as the view does: OnKeyDown first.
  void KeyDown(uint16_t& key, TShiftState shift);
  // What the view calls when the operator gave the window another client size.
  void Resized(int width, int height);

  // Closes the window unless OnCloseQuery says no: runs OnClose, marks the
  // form closed and ends the main loop.
  void Close();
  bool Closed() const { return closed_; }

 private:
  TBorderStyle border_ = TBorderStyle::bsSingle;
  bool key_preview_ = false;
  bool closed_ = false;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TLabel"; }
  // Breaks a caption too long for the label's width into lines within it.
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool on);

 private:
  bool word_wrap_ = false;
};

class TButton : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TButton"; }
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TPanel"; }
  TBevelCut BevelInner() const { return inner_; }
  TBevelCut BevelOuter() const { return outer_; }
  void SetBevelInner(TBevelCut b);
  void SetBevelOuter(TBevelCut b);
  // The background: clBtnFace, or a colour of its own.
  TColor Color() const { return color_; }
  void SetColor(TColor c);

 private:
  TColor color_ = clBtnFace;
  TBevelCut inner_ = TBevelCut::bvNone;
  TBevelCut outer_ = TBevelCut::bvRaised;  // every panel of the window keeps it
};

// A one-line text field.
class TEdit : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TEdit"; }
  const std::string& Text() const { return text_; }
  void SetText(const std::string& t);

 private:
  std::string text_;
};

// A drop-down list with an editable text.
class TComboBox : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TComboBox"; }

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void AddItem(const std::string& item);
  // Clears the entries and the text.
  void Clear();

  const std::string& Text() const { return text_; }
  void SetText(const std::string& t);
  // -1 when no entry is selected; selecting sets the text to the entry.
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int index);

  bool DroppedDown() const { return dropped_down_; }
  void SetDroppedDown(bool on);
  // Drop down by itself as the operator types.
  bool AutoDropDown() const { return auto_drop_down_; }
  void SetAutoDropDown(bool on);

  // Run when the operator picks an entry (after ItemIndex and Text are set).
  TNotifyEvent OnSelect;
  // What the view calls when the operator picks entry `index`.
  void Pick(int index);

 private:
  std::vector<std::string> items_;
  std::string text_;
  int item_index_ = -1;
  bool dropped_down_ = false;
  bool auto_drop_down_ = false;
};

// A read-only multi-line display.
class TMemo : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TMemo"; }
  const std::vector<std::string>& Lines() const { return lines_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  void AddLine(const std::string& line);
  void DeleteFirstLine();
  void ClearLines();
  bool VerticalScrollBar() const { return vscroll_; }
  void SetVerticalScrollBar(bool on);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool on);

 private:
  std::vector<std::string> lines_;
  bool vscroll_ = false;
  bool read_only_ = false;
};

// A progress gauge: shows its fill and percentage.
class TGauge : public TControl {
 public:
  using TControl::TControl;
  std::string ClassName() const override { return "TGauge"; }
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  int Progress() const { return progress_; }
  void SetMinValue(int v);
  void SetMaxValue(int v);
  // Clamped into [MinValue, MaxValue].
  void SetProgress(int v);
  // 0..100; 0 when the range is empty.
  int PercentDone() const;

 private:
  int min_ = 0, max_ = 100, progress_ = 0;
};

// A millisecond timer on the main loop.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner = nullptr);
  ~TTimer() override;
  std::string ClassName() const override { return "TTimer"; }

  bool Enabled() const { return enabled_; }
  // Enabling (re)starts the period; disabling stops it.
  void SetEnabled(bool on);
  uint32_t Interval() const { return interval_; }
  // Changing the interval of a running timer restarts its period.
  void SetInterval(uint32_t ms);
  // Setting a handler does not start or stop the timer. A handler that has
  // not returned yet (it shows a message box, say, whose loop goes on
  // running timers) is not run again meanwhile: those firings are dropped.
  TNotifyEvent OnTimer;
  // The handler is running now.
  bool InHandler() const { return *in_handler_; }

 private:
  void Restart();
  void Stop();
  bool enabled_ = true;
  uint32_t interval_ = 1000;
  EventLoop::TimerId id_ = 0;
  EventLoop* loop_ = nullptr;  // the loop id_ belongs to
  // Shared with the loop's callback of the current period, cleared when the
  // period ends or the timer goes away, so a stale firing does nothing.
  std::shared_ptr<TTimer*> self_;
  // Outlives the timer while its handler runs (a handler may free its timer).
  std::shared_ptr<bool> in_handler_ = std::make_shared<bool>(false);
};

enum TOpenOption : uint32_t {
  ofHideReadOnly = 1u << 0,
  ofFileMustExist = 1u << 1,
  ofPathMustExist = 1u << 2,
  ofEnableSizing = 1u << 3,
};
// Extended option: no side bar of shortcut places.
enum TOpenOptionEx : uint32_t { ofExNoPlacesBar = 1u << 0 };

class TOpenDialog : public TComponent {
 public:
  using TComponent::TComponent;
  std::string ClassName() const override { return "TOpenDialog"; }
  // "*.cry|*.cry": pairs of shown text and pattern.
  std::string Filter;
  std::string DefaultExt;
  uint32_t Options = ofHideReadOnly | ofEnableSizing;
  uint32_t OptionsEx = 0;
  std::string FileName;
  // Modal: asks the application's dialog service. True when a file was chosen.
  bool Execute();
};

}  // namespace tk
