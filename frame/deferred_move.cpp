#include "frame/deferred_move.h"

#include <utility>

namespace frame {

void DeferredMove::Press(SDL_HitTestResult region, bool focused, bool marks_focus,
                         SDL_Point root_point) {
  // Only the strip's drag waits for the focus; the bands' resizes go out at
  // the press.
  const bool held_back = region == SDL_HITTEST_DRAGGABLE && !focused && !marks_focus;
  held_ = held_back ? std::optional(root_point) : std::nullopt;
}

void DeferredMove::Release() { held_.reset(); }

std::optional<SDL_Point> DeferredMove::Focused() { return std::exchange(held_, std::nullopt); }

}  // namespace frame
