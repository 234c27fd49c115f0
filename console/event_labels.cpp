#include "console/event_labels.h"

#include <SDL3/SDL_events.h>

namespace console {
namespace {

struct Entry {
  std::uint32_t type;
  EventLabel label;
};

constexpr Entry LABELS[] = {
    {SDL_EVENT_WINDOW_MOVED, {"  SDL_EVENT_WINDOW_MOVED: ", true}},
    {SDL_EVENT_WINDOW_RESIZED, {"  SDL_EVENT_WINDOW_RESIZED: ", true}},
    {SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED, {"  SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED: ", true}},
    {SDL_EVENT_WINDOW_MINIMIZED, {"  SDL_EVENT_WINDOW_MINIMIZED", false}},
    {SDL_EVENT_WINDOW_MAXIMIZED, {"  SDL_EVENT_WINDOW_MAXIMIZED", false}},
    {SDL_EVENT_WINDOW_RESTORED, {"  SDL_EVENT_WINDOW_RESTORED", false}},
    {SDL_EVENT_WINDOW_ENTER_FULLSCREEN, {"  SDL_EVENT_WINDOW_ENTER_FULLSCREEN", false}},
    {SDL_EVENT_WINDOW_LEAVE_FULLSCREEN, {"  SDL_EVENT_WINDOW_LEAVE_FULLSCREEN", false}},
};

}  // namespace

const EventLabel* FindEventLabel(std::uint32_t event_type) {
  for (const Entry& entry : LABELS) {
    if (entry.type == event_type) {
      return &entry.label;
    }
  }
  return nullptr;
}

}  // namespace console
