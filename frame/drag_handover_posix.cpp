#include "frame/drag_handover.h"

#include <SDL3/SDL_hints.h>

namespace {

// Read by the library's X11 backend when its video subsystem starts; the name
// is not in the library's public header.
constexpr const char* X11_XINPUT2_HINT = "SDL_VIDEO_X11_XINPUT2";

}  // namespace

void PrepareDragHandover() {
  // Window managers that hold a button grab on the focused window replay a
  // press to it only after they have seen it. With XInput2 the library can
  // take the press earlier and hand the drag over before that replay, which
  // then gives the window the pointer grab the window manager needs for the
  // move. Core input is held back with the pointer, so the hand-over always
  // comes after the replay. Nothing else of XInput2 is used here. At normal
  // priority the library's environment variable of the same name still wins.
  SDL_SetHint(X11_XINPUT2_HINT, "0");
}
