#include "frame/window_system.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <SDL3/SDL_hints.h>

namespace frame {

namespace {

// Read by the library's X11 backend when its video subsystem starts; the name
// is not in the library's public header.
constexpr const char* X11_XINPUT2_HINT = "SDL_VIDEO_X11_XINPUT2";

using ErrorHandler = int (*)(Display*, XErrorEvent*);
using SetErrorHandler = ErrorHandler (*)(ErrorHandler);

ErrorHandler previous_handler = nullptr;

// Xlib's default handler ends the process on any error. The library asks the
// X server about windows that belong to other clients: the window manager's
// frame around the window when it handles a configure event, a drag source
// when it answers a drop. Their owners may destroy them at any moment (the
// window manager destroys the frame when the window is hidden on the way
// out), and the answer is then BadWindow, which says nothing about the
// program's own state. Every other error goes where it went before.
int IgnoreVanishedWindows(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow) {
    return 0;
  }
  return previous_handler(display, error);
}

}  // namespace

void PrepareWindowSystem() {
  // Window managers that hold a button grab on the focused window replay a
  // press to it only after they have seen it. With XInput2 the library can
  // take the press earlier and hand the drag over before that replay, which
  // then gives the window the pointer grab the window manager needs for the
  // move. Newer versions hand it over a second time when the replayed press
  // arrives, which a window manager that keeps the failed move ignores.
  // Core input is held back with the pointer, so the hand-over always
  // comes after the replay. Nothing else of XInput2 is used here. At normal
  // priority the library's environment variable of the same name still wins.
  SDL_SetHint(X11_XINPUT2_HINT, "0");
}

void TolerateVanishedWindows() {
  // The library loads Xlib itself, and only when it talks to an X server.
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (xlib == nullptr) {
    return;
  }
  auto set_handler = reinterpret_cast<SetErrorHandler>(dlsym(xlib, "XSetErrorHandler"));
  if (set_handler != nullptr) {
    previous_handler = set_handler(IgnoreVanishedWindows);
  }
  // Only drops the reference taken above: the library keeps Xlib loaded.
  dlclose(xlib);
}

// X11 windows have no sizing-frame style: the window manager draws the frame,
// and no native handle of this kind is ever published here.
void AddSizingFrameStyle(void*) {}

}  // namespace frame
