#include "frame/hit_test.h"

#include "console/log.h"
#include "frame/hit_regions.h"

namespace frame {

SDL_HitTestResult SDLCALL HitTest(SDL_Window* window, const SDL_Point* point, void*) {
  int w;
  int h;
  if (!SDL_GetWindowSize(window, &w, &h)) {
    return SDL_HITTEST_NORMAL;
  }
  return ClassifyPoint(point->x, point->y, w, h);
}

void RegisterHitTest(SDL_Window* window) {
  if (!SDL_SetWindowHitTest(window, HitTest, nullptr)) {
    console::LogLibraryError("SDL_SetWindowHitTest failed: ");
  }
}

}  // namespace frame
