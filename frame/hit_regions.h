#pragma once

#include <cstdint>

#include <SDL3/SDL_video.h>

namespace frame {

// Width of the resize bands along the window's edges, in window coordinates.
inline constexpr std::int32_t RESIZE_BORDER = 16;
// Height of the drag strip, counted from the window's top edge.
inline constexpr std::int32_t DRAG_BAR_HEIGHT = 100;

// What the point (x, y) of a window of width w and height h stands for.
// Corners win over edges, the left and top sides over the right and bottom
// ones, and every band over the drag strip.
SDL_HitTestResult ClassifyPoint(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

}  // namespace frame
