#include "ui/station/grid_layout.h"

#include <algorithm>

namespace quarnel::station_window {
namespace {

// A tile reads best about this much wider than high.
constexpr double kTileAspect = 1.6;

}  // namespace

size_t GridColumns(size_t count, int width, int height) {
  if (count == 0) return 1;
  size_t best = 1;
  double best_scale = -1;
  for (size_t columns = 1; columns <= count; ++columns) {
    const size_t rows = (count + columns - 1) / columns;
    const double tile_w = static_cast<double>(width) / static_cast<double>(columns);
    const double tile_h = static_cast<double>(height) / static_cast<double>(rows);
    // How large a tile of the right shape fits in its cell.
    const double scale = std::min(tile_w / kTileAspect, tile_h);
    if (scale > best_scale) {
      best_scale = scale;
      best = columns;
    }
  }
  return best;
}

std::vector<Box> GridBoxes(size_t count, const Box& room, int gap) {
  std::vector<Box> boxes;
  if (count == 0) return boxes;
  const size_t columns = GridColumns(count, room.width, room.height);
  const size_t rows = (count + columns - 1) / columns;
  const int cols = static_cast<int>(columns);
  const int rws = static_cast<int>(rows);
  const int tile_w = std::max(1, (room.width - gap * (cols - 1)) / cols);
  const int tile_h = std::max(1, (room.height - gap * (rws - 1)) / rws);
  for (size_t i = 0; i < count; ++i) {
    const int column = static_cast<int>(i % columns);
    const int row = static_cast<int>(i / columns);
    boxes.push_back(
        {room.left + column * (tile_w + gap), room.top + row * (tile_h + gap), tile_w, tile_h});
  }
  return boxes;
}

}  // namespace quarnel::station_window
