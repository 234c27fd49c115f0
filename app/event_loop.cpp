#include "app/event_loop.h"

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_timer.h>

#include "app/window_keys.h"
#include "console/event_labels.h"
#include "console/lines.h"
#include "console/log.h"

namespace app {

namespace {

// One record for the whole run, refilled by every poll.
SDL_Event event;

void LogWindowEvent(const console::EventLabel& label) {
  // The time stamp is the moment of writing, not the event's own.
  if (label.has_geometry) {
    console::EventLine(console::Log(), SDL_GetTicks(), label.text, event.window.data1,
                       event.window.data2);
  } else {
    console::EventLine(console::Log(), SDL_GetTicks(), label.text);
  }
}

void DrawFrame(SDL_Renderer* renderer) {
  SDL_SetRenderDrawColor(renderer, 225, 225, 225, 255);
  SDL_RenderClear(renderer);
  SDL_RenderPresent(renderer);
  SDL_Delay(FRAME_DELAY_MS);
}

}  // namespace

void RunEventLoop(SDL_Window* window, SDL_Renderer* renderer) {
  for (;;) {
    if (!SDL_PollEvent(&event)) {
      DrawFrame(renderer);
      continue;
    }
    if (event.type == SDL_EVENT_QUIT) {
      return;
    }
    if (event.type == SDL_EVENT_KEY_DOWN) {
      ObeyWindowKey(window, event.key.scancode);
    } else if (const console::EventLabel* label = console::FindEventLabel(event.type)) {
      LogWindowEvent(*label);
    }
  }
}

}  // namespace app
