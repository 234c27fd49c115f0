#include "frame/window_system.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <optional>

#include <SDL3/SDL_hints.h>
#include <SDL3/SDL_properties.h>
#include <SDL3/SDL_system.h>

#include "frame/deferred_move.h"
#include "frame/hit_test.h"

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

// The Xlib calls of the move the program hands over itself, from the copy
// of Xlib the library has loaded.
struct Xlib {
  decltype(&XInternAtom) intern_atom;
  decltype(&XGetWindowProperty) get_window_property;
  decltype(&XFree) free;
  decltype(&XUngrabPointer) ungrab_pointer;
  decltype(&XSendEvent) send_event;
  decltype(&XFlush) flush;
};

std::optional<Xlib> LoadXlib() {
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (xlib == nullptr) {
    return std::nullopt;
  }
  Xlib calls{reinterpret_cast<decltype(&XInternAtom)>(dlsym(xlib, "XInternAtom")),
             reinterpret_cast<decltype(&XGetWindowProperty)>(dlsym(xlib, "XGetWindowProperty")),
             reinterpret_cast<decltype(&XFree)>(dlsym(xlib, "XFree")),
             reinterpret_cast<decltype(&XUngrabPointer)>(dlsym(xlib, "XUngrabPointer")),
             reinterpret_cast<decltype(&XSendEvent)>(dlsym(xlib, "XSendEvent")),
             reinterpret_cast<decltype(&XFlush)>(dlsym(xlib, "XFlush"))};
  // Only drops the reference taken above: the library keeps Xlib loaded.
  dlclose(xlib);
  const bool found = calls.intern_atom && calls.get_window_property && calls.free &&
                     calls.ungrab_pointer && calls.send_event && calls.flush;
  return found ? std::optional(calls) : std::nullopt;
}

// Whether the window manager lists the focused mark of a window's state
// among what it supports: where it does, it sets it, and the library hands
// a held-back move over when it sees it.
bool MarksFocus(const Xlib& x, Display* display) {
  Atom type;
  int format;
  unsigned long count;
  unsigned long left;
  unsigned char* data = nullptr;
  const Window root = DefaultRootWindow(display);
  const bool read =
      x.get_window_property(display, root, x.intern_atom(display, "_NET_SUPPORTED", False), 0, 4096,
                            False, XA_ATOM, &type, &format, &count, &left, &data) == Success;
  bool marks = false;
  if (read && data != nullptr && format == 32) {
    const Atom focused = x.intern_atom(display, "_NET_WM_STATE_FOCUSED", False);
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && !marks; ++i) {
      marks = atoms[i] == focused;
    }
  }
  if (data != nullptr) {
    x.free(data);
  }
  return marks;
}

// The window manager's move of the window from the press at root_point, as
// the library asks for it: the program's implicit grab of the press given
// up, then the request to the root window.
void HandOverMove(const Xlib& x, Display* display, Window window, SDL_Point root_point) {
  constexpr long MOVE = 8;  // _NET_WM_MOVERESIZE_MOVE
  x.ungrab_pointer(display, CurrentTime);
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type = x.intern_atom(display, "_NET_WM_MOVERESIZE", False);
  request.xclient.format = 32;
  request.xclient.data.l[0] = root_point.x;
  request.xclient.data.l[1] = root_point.y;
  request.xclient.data.l[2] = MOVE;
  request.xclient.data.l[3] = Button1;
  x.send_event(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
  x.flush(display);
}

SDL_Window* WindowOf(Window xwindow) {
  SDL_Window** windows = SDL_GetWindows(nullptr);
  SDL_Window* found = nullptr;
  for (SDL_Window** window = windows; window != nullptr && *window != nullptr; ++window) {
    const auto number = SDL_GetNumberProperty(SDL_GetWindowProperties(*window),
                                              SDL_PROP_WINDOW_X11_WINDOW_NUMBER, 0);
    if (static_cast<Window>(number) == xwindow) {
      found = *window;
    }
  }
  SDL_free(windows);
  return found;
}

DeferredMove deferred_move;

// Looked up once, at the first event the hook sees: by then the library has
// loaded Xlib to read it.
const std::optional<Xlib>& LoadedXlib() {
  static const std::optional<Xlib> calls = LoadXlib();
  return calls;
}

// Sees each X event before the library does: the press of a drag while the
// library still has the window unfocused, the release, and the focus that
// the library itself only takes from the window manager's focused mark.
bool SDLCALL HandOverDeferredMove(void*, XEvent* event) {
  if (event->type == ButtonRelease && event->xbutton.button == Button1) {
    deferred_move.Release();
  } else if (event->type == ButtonPress && event->xbutton.button == Button1) {
    SDL_Window* window = WindowOf(event->xbutton.window);
    const std::optional<Xlib>& x = LoadedXlib();
    if (window != nullptr && x) {
      const SDL_Point point{event->xbutton.x, event->xbutton.y};
      const bool focused = (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
      const SDL_HitTestResult region = HitTest(window, &point, nullptr);
      // Only a press that the library would hold back asks the window manager.
      const bool marks =
          region != SDL_HITTEST_DRAGGABLE || focused || MarksFocus(*x, event->xbutton.display);
      deferred_move.Press(region, focused, marks, {event->xbutton.x_root, event->xbutton.y_root});
    }
  } else if (event->type == FocusIn && event->xfocus.mode != NotifyGrab &&
             event->xfocus.mode != NotifyUngrab && event->xfocus.detail != NotifyInferior &&
             event->xfocus.detail != NotifyPointer) {
    // The same focus changes the library counts as the window's own.
    const std::optional<Xlib>& x = LoadedXlib();
    if (x && WindowOf(event->xfocus.window) != nullptr) {
      if (const std::optional<SDL_Point> from = deferred_move.Focused()) {
        HandOverMove(*x, event->xfocus.display, event->xfocus.window, *from);
      }
    }
  }
  return true;
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
  // Core input goes through the library's event hook, which sees a press
  // and the focus that follows it in the order the X server sent them.
  SDL_SetX11EventHook(HandOverDeferredMove, nullptr);
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
