#include "app/window_keys.h"

namespace app {

void ObeyWindowKey(SDL_Window* window, SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_F:
      SDL_SetWindowFullscreen(window, true);
      break;
    case SDL_SCANCODE_W:
      SDL_SetWindowFullscreen(window, false);
      break;
    case SDL_SCANCODE_M:
      SDL_MaximizeWindow(window);
      break;
    case SDL_SCANCODE_N:
      SDL_MinimizeWindow(window);
      break;
    case SDL_SCANCODE_R:
      SDL_RestoreWindow(window);
      break;
    default:
      break;
  }
}

}  // namespace app
