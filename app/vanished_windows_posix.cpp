#include "app/vanished_windows.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace {

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
