// The pointer and keyboard of a KWin session, worked through KWin's fake
// input interface for as long as the session lasts, by the commands of
// input_commands.h:
//
//   fake-input
//
// "move X Y" places the pointer on the desktop, in logical pixels. It says
// "ready" once KWin has granted the interface. KWin offers the interface
// only to the programs a .desktop file names.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "fake-input-client.h"
#include "input_commands.h"

// Keyboard keys came with version 4.
#define FAKE_INPUT_VERSION 4

struct session {
  struct wl_display *display;
  struct org_kde_kwin_fake_input *input;
  uint32_t offered;  // the version the compositor offers, 0 for none
  struct xkb_keymap *keymap;
};

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
  struct session *s = data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
    s->offered = version;
  }
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
      version >= FAKE_INPUT_VERSION) {
    s->input =
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, FAKE_INPUT_VERSION);
  }
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static void move(void *data, uint32_t x, uint32_t y) {
  struct session *s = data;
  org_kde_kwin_fake_input_pointer_motion_absolute(s->input, wl_fixed_from_int((int)x),
                                                  wl_fixed_from_int((int)y));
}

static void button(void *data, uint32_t code, uint32_t state) {
  struct session *s = data;
  org_kde_kwin_fake_input_button(s->input, code, state);
}

static void key(void *data, uint32_t code, uint32_t state) {
  struct session *s = data;
  org_kde_kwin_fake_input_keyboard_key(s->input, code, state);
}

int main(int argc, char **argv) {
  (void)argv;
  setvbuf(stdout, NULL, _IOLBF, 0);
  if (argc != 1) {
    printf("error: usage: fake-input (commands on stdin)\n");
    return 2;
  }
  struct session s = {0};
  // KWin's keymap is "us" unless its session says otherwise.
  const char *failure = input_load_keymap(&s.keymap);
  if (failure) {
    printf("error: %s\n", failure);
    return 1;
  }
  s.display = input_connect(&registry_listener, &s);
  if (!s.input) {
    printf("error: the compositor offers this program fake input of version %u, not %d\n",
           s.offered, FAKE_INPUT_VERSION);
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(s.input, "window-test", "drives the program under test");
  // Far beyond any desktop, and within a Wayland fixed-point number.
  const long largest = 1L << 20;
  const struct input_device device = {
      .data = &s,
      .max_x = largest,
      .max_y = largest,
      .move_usage = "usage: move X Y",
      .move = move,
      .button = button,
      .key = key,
  };
  input_serve(s.display, s.keymap, &device);
  org_kde_kwin_fake_input_destroy(s.input);
  input_disconnect(s.display, s.keymap);
  return 0;
}
