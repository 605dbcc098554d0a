#include "ui/station/station_tile.h"

#include <algorithm>
#include <memory>

namespace quarnel::station_window {
namespace {

constexpr char kFace[] = "MS Sans Serif";
// The tile's design size; a larger tile scales its type.
constexpr int kDesignWidth = 230;
constexpr int kDesignHeight = 140;

template <class C>
C* Make(tk::TForm& form, tk::TControl& parent, const std::string& name) {
  C* control = form.Own(std::make_unique<C>(&form));
  control->SetName(name);
  control->SetParent(&parent);
  return control;
}

int Scaled(double scale, int pixels) {
  return static_cast<int>(pixels * scale + 0.5);
}

}  // namespace

StationTile::StationTile(tk::TForm& form, size_t number, std::function<void()> chosen)
    : number_(number) {
  const std::string suffix = std::to_string(number);
  panel_ = form.Own(std::make_unique<tk::TPanel>(&form));
  panel_->SetName("Tile" + suffix);
  panel_->SetParent(&form);
  name_ = Make<tk::TLabel>(form, *panel_, "TileName" + suffix);
  port_ = Make<tk::TLabel>(form, *panel_, "TilePort" + suffix);
  activity_ = Make<tk::TLabel>(form, *panel_, "TileActivity" + suffix);
  progress_ = Make<tk::TGauge>(form, *panel_, "TileProgress" + suffix);
  verdict_ = Make<tk::TPanel>(form, *panel_, "TileVerdict" + suffix);
  details_ = Make<tk::TLabel>(form, *panel_, "TileDetails" + suffix);
  counts_ = Make<tk::TLabel>(form, *panel_, "TileCounts" + suffix);
  verdict_->SetBevelInner(tk::TBevelCut::bvNone);
  verdict_->SetBevelOuter(tk::TBevelCut::bvLowered);
  for (tk::TControl* control : std::vector<tk::TControl*>{panel_, name_, port_, activity_,
                                                          progress_, verdict_, details_, counts_}) {
    control->OnClick = [chosen](tk::TObject*) { chosen(); };
  }
  Fonts(1.0);
}

void StationTile::Fonts(double scale) {
  name_->SetFont({kFace, Scaled(scale, 22), true});
  port_->SetFont({kFace, Scaled(scale, 11), false});
  activity_->SetFont({kFace, Scaled(scale, 13), false});
  verdict_->SetFont({kFace, Scaled(scale, 30), true, kVerdictText});
  details_->SetFont({kFace, Scaled(scale, 11), false});
  counts_->SetFont({kFace, Scaled(scale, 11), false});
}

void StationTile::Place(const Box& box) {
  panel_->SetBounds(box.left, box.top, box.width, box.height);
  const double scale = std::clamp(std::min(static_cast<double>(box.width) / kDesignWidth,
                                           static_cast<double>(box.height) / kDesignHeight),
                                  0.8, 2.5);
  Fonts(scale);
  const int pad = Scaled(scale, 6);
  const int inner = std::max(1, box.width - 2 * pad);
  // From the top: name with the port beside it, activity, bar, verdict,
  // details, counts; the verdict takes what room is left.
  const int name_h = Scaled(scale, 26);
  const int line_h = Scaled(scale, 16);
  const int small_h = Scaled(scale, 14);
  const int bar_h = Scaled(scale, 14);
  int top = pad / 2;
  const int name_w = inner * 5 / 8;
  name_->SetBounds(pad, top, name_w, name_h);
  port_->SetBounds(pad + name_w, top + name_h - small_h - Scaled(scale, 2), inner - name_w,
                   small_h);
  top += name_h;
  activity_->SetBounds(pad, top, inner, line_h);
  top += line_h + 2;
  progress_->SetBounds(pad, top, inner, bar_h);
  top += bar_h + 3;
  const int bottom = box.height - pad / 2;
  const int verdict_h = std::max(Scaled(scale, 30), bottom - top - 2 * small_h - 4);
  verdict_->SetBounds(pad, top, inner, verdict_h);
  top += verdict_h + 2;
  details_->SetBounds(pad, top, inner, small_h);
  top += small_h + 1;
  counts_->SetBounds(pad, top, inner, small_h);
}

void StationTile::Show(const TileState& tile) {
  const std::string key = number_ <= 9 ? "  [Ctrl+" + std::to_string(number_) + "]" : "";
  name_->SetCaption(tile.name + (tile.chosen ? "  < next scan" : ""));
  port_->SetCaption(tile.port);
  panel_->SetBevelInner(tile.chosen ? tk::TBevelCut::bvLowered : tk::TBevelCut::bvNone);
  panel_->SetColor(tile.chosen ? tk::RgbColor(0xFF, 0xF3, 0xC4) : tk::clBtnFace);
  activity_->SetCaption(ActivityWords(tile));
  // The bar shows while the image is sent; "0%" on a waiting slot would
  // read as a stuck one.
  progress_->SetVisible(tile.activity == TileActivity::kProgramming);
  progress_->SetProgress(
      tile.activity == TileActivity::kProgramming && tile.progress ? PercentOf(*tile.progress) : 0);

  std::string details;
  if (tile.verdict) {
    const Verdict& v = *tile.verdict;
    verdict_->SetCaption(v.passed ? "PASS" : "FAIL");
    verdict_->SetColor(v.passed ? kPassGreen : kFailRed);
    if (!v.passed) details = ReasonWords(v);
    if (!v.target_id.empty() && v.ending != SequenceEnding::kWrongTarget)
      details += std::string(details.empty() ? "" : " - ") + "target " + v.target_id;
    details += std::string(details.empty() ? "" : " - ") + "unit " + v.unit_id.value_or("-");
  } else {
    verdict_->SetCaption("");
    verdict_->SetColor(tk::clBtnFace);
  }
  if (tile.unit_id) {
    // The scanned ID goes to the unit under way when it has none, else to the next.
    details = (UnitUnderWay(tile.activity) ? "unit " : "next unit: ") + *tile.unit_id +
              (details.empty() ? "" : " - " + details);
  }
  details_->SetCaption(details);
  counts_->SetCaption(CountWords(tile.counts) + key);
}

}  // namespace quarnel::station_window
