#pragma once

#include <SDL3/SDL_scancode.h>
#include <SDL3/SDL_video.h>

namespace app {

// Carries out the window command of a key, chosen by its physical position so
// that it does not depend on the keyboard layout. Other keys do nothing.
void ObeyWindowKey(SDL_Window* window, SDL_Scancode scancode);

}  // namespace app
