#pragma once

#include <cstdint>

#include <SDL3/SDL_render.h>
#include <SDL3/SDL_video.h>

namespace app {

// Pause after each presented frame: keeps an idle loop from spinning.
inline constexpr std::uint32_t FRAME_DELAY_MS = 20;

// Logs window events, obeys the window keys and paints a frame whenever the
// queue is empty. Returns when the library delivers a quit event.
void RunEventLoop(SDL_Window* window, SDL_Renderer* renderer);

}  // namespace app
