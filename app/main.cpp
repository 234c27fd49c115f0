#include <SDL3/SDL_render.h>
#include <SDL3/SDL_video.h>

#include "app/event_loop.h"
#include "console/log.h"
#include "console/standard_streams.h"
#include "frame/hit_test.h"
#include "frame/native_frame.h"
#include "frame/window_system.h"

int main() {
  console::PrepareStandardStreams();
  frame::PrepareWindowSystem();
  // Creating the window starts the library's video subsystem by itself.
  SDL_Window* window =
      SDL_CreateWindow("Window test", 640, 480, SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE);
  if (window == nullptr) {
    console::LogLibraryError("SDL_CreateWindow failed: ");
  } else {
    frame::TolerateVanishedWindows();
    SDL_Renderer* renderer = SDL_CreateRenderer(window, "opengl");
    if (renderer == nullptr) {
      console::LogLibraryError("SDL_CreateRenderer failed: ");
      SDL_DestroyWindow(window);
    } else {
      frame::PrepareNativeFrame(window);
      frame::RegisterHitTest(window);
      app::RunEventLoop(window, renderer);
      SDL_DestroyRenderer(renderer);
      SDL_DestroyWindow(window);
    }
  }
  console::Prompt();
  return 0;
}
