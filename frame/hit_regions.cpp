#include "frame/hit_regions.h"

namespace frame {

SDL_HitTestResult ClassifyPoint(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  // In 64 bits so that no window size can make the subtraction overflow.
  const bool left = x < RESIZE_BORDER;
  const bool top = y < RESIZE_BORDER;
  const bool right = std::int64_t{x} > std::int64_t{w} - RESIZE_BORDER;
  const bool bottom = std::int64_t{y} > std::int64_t{h} - RESIZE_BORDER;

  if (top && left) return SDL_HITTEST_RESIZE_TOPLEFT;
  if (top && right) return SDL_HITTEST_RESIZE_TOPRIGHT;
  if (bottom && left) return SDL_HITTEST_RESIZE_BOTTOMLEFT;
  if (bottom && right) return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
  if (left) return SDL_HITTEST_RESIZE_LEFT;
  if (top) return SDL_HITTEST_RESIZE_TOP;
  if (right) return SDL_HITTEST_RESIZE_RIGHT;
  if (bottom) return SDL_HITTEST_RESIZE_BOTTOM;
  if (y < DRAG_BAR_HEIGHT) return SDL_HITTEST_DRAGGABLE;
  return SDL_HITTEST_NORMAL;
}

}  // namespace frame
