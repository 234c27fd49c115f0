#include "frame/native_frame.h"

#include <SDL3/SDL_properties.h>

#include "console/log.h"
#include "frame/window_system.h"

namespace frame {

void PrepareNativeFrame(SDL_Window* window) {
  // Only Windows windows have this handle; elsewhere the lookup reports its
  // failure and the window keeps the library's frame.
  void* native_window = SDL_GetPointerProperty(SDL_GetWindowProperties(window),
                                               SDL_PROP_WINDOW_WIN32_HWND_POINTER, nullptr);
  if (native_window == nullptr) {
    console::LogLibraryError("SDL_GetPointerProperty failed: ");
    return;
  }
  AddSizingFrameStyle(native_window);
}

}  // namespace frame
