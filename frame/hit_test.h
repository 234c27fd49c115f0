#pragma once

#include <SDL3/SDL_video.h>

namespace frame {

// The library's question "what is this point of the window?", answered from
// the window's current size, so that the regions follow every resize without
// any state of their own.
SDL_HitTestResult SDLCALL HitTest(SDL_Window* window, const SDL_Point* point, void* data);

// Gives the borderless window its drag strip and resize bands. A failure is
// logged and the window is left without them.
void RegisterHitTest(SDL_Window* window);

}  // namespace frame
