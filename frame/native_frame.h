#pragma once

#include <SDL3/SDL_video.h>

namespace frame {

// Gives the borderless window the system's own sizing frame where the system
// has one (Windows). A failure is logged and the window is left as it is.
void PrepareNativeFrame(SDL_Window* window);

}  // namespace frame
