#pragma once

#include <optional>

#include <SDL3/SDL_rect.h>
#include <SDL3/SDL_video.h>

namespace frame {

// A drag of the strip that began on a window without the focus. The library
// holds such a drag back until the window manager marks the window focused
// in its state, which some window managers never do (they do not support
// that mark): there the program hands the move over itself once the window
// has the focus, while the button is still held. Everywhere else the
// library's own hand-over stands.
class DeferredMove {
 public:
  // A press of the first button at root_point (screen coordinates) on region
  // of the window; focused is the window's focus as the library saw it at
  // the press, and marks_focus whether the window manager marks it.
  void Press(SDL_HitTestResult region, bool focused, bool marks_focus, SDL_Point root_point);
  // The first button's release: no drag is held any more.
  void Release();
  // The window has the focus: where to start the held-back move from, once.
  std::optional<SDL_Point> Focused();

 private:
  std::optional<SDL_Point> held_;
};

}  // namespace frame
