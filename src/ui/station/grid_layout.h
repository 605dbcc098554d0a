#pragma once
// Where the tiles of a station go: a grid that fills the room it is given,
// with tiles as large as they can be while keeping a readable shape.
#include <cstddef>
#include <vector>

namespace quarnel::station_window {

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Box&) const = default;
};

// The columns for `count` tiles in `room`; rows follow.
size_t GridColumns(size_t count, int width, int height);
// Each tile's box, row by row, `gap` pixels apart.
std::vector<Box> GridBoxes(size_t count, const Box& room, int gap);

}  // namespace quarnel::station_window
