#pragma once
// The controls of one slot's tile: a panel holding the slot's name, its
// port, what it does, a progress bar, the verdict field (PASS on green,
// FAIL on red, in large words), the unit's details and its counts. It shows
// a TileState; it decides nothing.
#include <functional>

#include "toolkit/controls.h"
#include "ui/station/grid_layout.h"
#include "ui/station/tile_state.h"

namespace quarnel::station_window {

class StationTile {
 public:
  // The controls belong to `form`; a click anywhere on the tile runs `chosen`.
  StationTile(tk::TForm& form, size_t number, std::function<void()> chosen);

  void Place(const Box& box);
  void Show(const TileState& tile);

  tk::TPanel& Panel() { return *panel_; }
  tk::TLabel& Name() { return *name_; }
  tk::TLabel& Activity() { return *activity_; }
  tk::TGauge& Progress() { return *progress_; }
  tk::TPanel& VerdictField() { return *verdict_; }
  tk::TLabel& Details() { return *details_; }
  tk::TLabel& Counts() { return *counts_; }

 private:
  void Fonts(double scale);

  size_t number_;
  tk::TPanel* panel_;
  tk::TLabel* name_;
  tk::TLabel* port_;
  tk::TLabel* activity_;
  tk::TGauge* progress_;
  tk::TPanel* verdict_;
  tk::TLabel* details_;
  tk::TLabel* counts_;
};

// The verdict field's colours: text on background.
inline constexpr tk::TColor kPassGreen = tk::RgbColor(0x1B, 0x7A, 0x2E);
inline constexpr tk::TColor kFailRed = tk::RgbColor(0xC0, 0x1C, 0x1C);
inline constexpr tk::TColor kVerdictText = tk::RgbColor(0xFF, 0xFF, 0xFF);

}  // namespace quarnel::station_window
