// The command loop both Wayland input clients serve on stdin:
//
//   move X Y            pointer to (X, Y)
//   button 1|0 [right]  left (or right) button down or up
//   key KEYS            one key with modifiers, as in "shift+f" or "Return"
//   press KEYS          the same keys pressed and held
//   release KEYS        and let go
//   quit
//
// It says "ready", then answers every command with one line, "ok" once the
// compositor has taken it, or "error: ..." for a command it cannot carry out.
// A lost compositor ends the client with an error.
#ifndef INPUT_COMMANDS_H
#define INPUT_COMMANDS_H

#include <stdint.h>

struct wl_display;
struct wl_registry_listener;
struct xkb_keymap;

// What a client does with each command, in its own protocol; the states are
// wl_pointer's and wl_keyboard's.
struct input_device {
  void *data;
  long max_x, max_y;
  // The usage "move" answers with outside (max_x, max_y).
  const char *move_usage;
  void (*move)(void *data, uint32_t x, uint32_t y);
  void (*button)(void *data, uint32_t code, uint32_t state);
  void (*key)(void *data, uint32_t code, uint32_t state);
};

// The "us" keymap the keys are looked up in; NULL, else what went wrong.
const char *input_load_keymap(struct xkb_keymap **keymap);

// A whole decimal number from 0 to limit, or -1.
long input_number(const char *word, long limit);

// Connects to the compositor the environment names and has the listener
// see its registry; ends the client if there is no compositor.
struct wl_display *input_connect(const struct wl_registry_listener *listener, void *data);

// Waits until the compositor has handled every request sent so far, or ends
// the client if it is gone.
void input_round_trip(struct wl_display *display);

// Lets the compositor take the last requests, then disconnects.
void input_disconnect(struct wl_display *display, struct xkb_keymap *keymap);

// Says "ready" and serves commands until "quit" or the end of stdin.
void input_serve(struct wl_display *display, struct xkb_keymap *keymap,
                 const struct input_device *device);

#endif
