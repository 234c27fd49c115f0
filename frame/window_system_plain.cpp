#include "frame/window_system.h"

namespace frame {

// Builds whose library has neither its X11 nor its Windows backend (Wayland
// only, macOS): the library alone talks to the window system, and there is
// nothing to add to what it does.
void PrepareWindowSystem() {}
void TolerateVanishedWindows() {}
void AddSizingFrameStyle(void*) {}

}  // namespace frame
