#include "toolkit/controls.h"

#include <algorithm>

#include "toolkit/application.h"

namespace tk {

// ---- TControl -------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  // Children and parent may go in any order: unlink both ways.
  for (TControl* child : children_) child->parent_ = nullptr;
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TControl::SetLeft(int v) {
  SetBounds(v, top_, width_, height_);
}
void TControl::SetTop(int v) {
  SetBounds(left_, v, width_, height_);
}
void TControl::SetWidth(int v) {
  SetBounds(left_, top_, v, height_);
}
void TControl::SetHeight(int v) {
  SetBounds(left_, top_, width_, v);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Notify(Change::Geometry);
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Notify(Change::Visible);
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Notify(Change::Enabled);
}

void TControl::SetCaption(const std::string& v) {
  if (v == caption_) return;
  caption_ = v;
  Notify(Change::Caption);
}

void TControl::SetFont(const TFont& f) {
  if (f == font_) return;
  font_ = f;
  Notify(Change::Font);
}

void TControl::SetParent(TControl* parent) {
  if (parent == parent_ || parent == this) return;
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  parent_ = parent;
  if (parent_ != nullptr) parent_->children_.push_back(this);
  Notify(Change::Parent);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

// Handlers are copied before they run: one may replace itself.
void TControl::Click() {
  const TNotifyEvent handler = OnClick;
  if (handler) handler(this);
}

size_t TControl::AddObserver(ChangeObserver observer) {
  const size_t id = next_observer_++;
  observers_.emplace_back(id, std::move(observer));
  return id;
}

void TControl::RemoveObserver(size_t id) {
  observers_.erase(std::remove_if(observers_.begin(), observers_.end(),
                                  [id](const auto& entry) { return entry.first == id; }),
                   observers_.end());
}

void TControl::Notify(Change change) {
  // A copy: an observer may add or remove observers while it is told.
  const auto observers = observers_;
  for (const auto& [id, observer] : observers)
    if (observer) observer(*this, change);
}

// ---- TForm ----------------------------------------------------------------

namespace {
// Width of one side of the window frame. A fixed single border is 3 pixels
// (the classic 3D frame); a sizeable frame is 4.
constexpr int kSingleBorder = 3;
constexpr int kSizeableBorder = 4;
}  // namespace

TForm::TForm(TComponent* owner) : TControl(owner) {}

void TForm::SetBorderStyle(TBorderStyle b) {
  if (b == border_) return;
  border_ = b;
  Notify(Change::Style);
}

void TForm::SetKeyPreview(bool on) {
  if (on == key_preview_) return;
  key_preview_ = on;
  Notify(Change::Style);
}

int TForm::OuterWidth() const {
  const int border = border_ == TBorderStyle::bsSingle ? kSingleBorder : kSizeableBorder;
  return ClientWidth() + 2 * border;
}

void TForm::KeyDown(uint16_t& key, TShiftState shift) {
  if (!key_preview_) return;
  const auto handler = OnKeyDown;
  if (handler) handler(this, key, shift);
}

void TForm::Resized(int width, int height) {
  if (width == ClientWidth() && height == ClientHeight()) return;
  SetClientSize(width, height);
  const TNotifyEvent handler = OnResize;
  if (handler) handler(this);
}

void TForm::Close() {
  if (closed_) return;
  const auto query = OnCloseQuery;
  if (query && !query()) return;
  const TNotifyEvent handler = OnClose;
  if (handler) handler(this);
  closed_ = true;
  SetVisible(false);
  if (EventLoop* loop = CurrentMainLoop()) loop->Quit();
}

// ---- TPanel, TEdit --------------------------------------------------------

void TPanel::SetBevelInner(TBevelCut b) {
  if (b == inner_) return;
  inner_ = b;
  Notify(Change::Bevel);
}

void TPanel::SetBevelOuter(TBevelCut b) {
  if (b == outer_) return;
  outer_ = b;
  Notify(Change::Bevel);
}

void TPanel::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  Notify(Change::Color);
}

void TEdit::SetText(const std::string& t) {
  if (t == text_) return;
  text_ = t;
  Notify(Change::Text);
}

// ---- TComboBox ------------------------------------------------------------

void TComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  Notify(Change::Items);
  // The old selection means nothing in the new list.
  if (item_index_ != -1) {
    item_index_ = -1;
    Notify(Change::ItemIndex);
  }
}

void TComboBox::AddItem(const std::string& item) {
  items_.push_back(item);
  Notify(Change::Items);
}

void TComboBox::Clear() {
  SetItems({});
  SetText("");
}

void TComboBox::SetText(const std::string& t) {
  if (t == text_) return;
  text_ = t;
  Notify(Change::Text);
}

void TComboBox::SetItemIndex(int index) {
  // An index outside the list selects nothing and empties the text, as the
  // native control does.
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  if (index != item_index_) {
    item_index_ = index;
    Notify(Change::ItemIndex);
  }
  SetText(index == -1 ? std::string() : items_[static_cast<size_t>(index)]);
}

void TComboBox::SetDroppedDown(bool on) {
  if (on == dropped_down_) return;
  dropped_down_ = on;
  Notify(Change::DroppedDown);
}

void TComboBox::SetAutoDropDown(bool on) {
  if (on == auto_drop_down_) return;
  auto_drop_down_ = on;
  Notify(Change::Style);
}

void TComboBox::Pick(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;  // nothing to pick
  SetDroppedDown(false);
  SetItemIndex(index);
  const TNotifyEvent handler = OnSelect;
  if (handler) handler(this);
}

// ---- TMemo ----------------------------------------------------------------

void TMemo::AddLine(const std::string& line) {
  lines_.push_back(line);
  Notify(Change::LineAdded);
}

void TMemo::DeleteFirstLine() {
  if (lines_.empty()) return;
  lines_.erase(lines_.begin());
  Notify(Change::FirstLineRemoved);
}

void TMemo::ClearLines() {
  if (lines_.empty()) return;
  lines_.clear();
  Notify(Change::LinesCleared);
}

void TMemo::SetVerticalScrollBar(bool on) {
  if (on == vscroll_) return;
  vscroll_ = on;
  Notify(Change::Style);
}

void TLabel::SetWordWrap(bool on) {
  if (on == word_wrap_) return;
  word_wrap_ = on;
  Notify(Change::Style);
}

void TMemo::SetReadOnly(bool on) {
  if (on == read_only_) return;
  read_only_ = on;
  Notify(Change::Style);
}

// ---- TGauge ---------------------------------------------------------------

void TGauge::SetMinValue(int v) {
  if (v == min_) return;
  min_ = v;
  max_ = std::max(max_, min_);  // the range never turns inside out
  progress_ = std::clamp(progress_, min_, max_);
  Notify(Change::Gauge);
}

void TGauge::SetMaxValue(int v) {
  if (v == max_) return;
  max_ = v;
  min_ = std::min(min_, max_);
  progress_ = std::clamp(progress_, min_, max_);
  Notify(Change::Gauge);
}

void TGauge::SetProgress(int v) {
  v = std::clamp(v, min_, max_);
  if (v == progress_) return;
  progress_ = v;
  Notify(Change::Gauge);
}

int TGauge::PercentDone() const {
  if (max_ <= min_) return 0;
  return static_cast<int>(static_cast<int64_t>(progress_ - min_) * 100 / (max_ - min_));
}

}  // namespace tk
