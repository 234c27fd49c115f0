#pragma once

#include <SDL3/SDL_video.h>

// Gives the borderless window the system's own sizing frame where the system
// has one (Windows). A failure is logged and the window is left as it is.
void PrepareNativeFrame(SDL_Window* window);

// The platform's part: adds the sizing-frame style to the native window.
void AddSizingFrameStyle(void* native_window);
