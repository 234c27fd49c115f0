// One virtual pointer and one virtual keyboard on a wlroots compositor, held
// for the whole session and worked through the commands of input_commands.h:
//
//   virtual-input WIDTH HEIGHT
//
// "move X Y" places the pointer in the WIDTH x HEIGHT layout. It says
// "ready" once both devices exist. Devices made per event would race with
// the program that binds them.
#define _GNU_SOURCE
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "input_commands.h"
#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-virtual-pointer-unstable-v1-client.h"

struct session {
  struct wl_display *display;
  struct wl_seat *seat;
  struct zwlr_virtual_pointer_manager_v1 *pointer_manager;
  struct zwp_virtual_keyboard_manager_v1 *keyboard_manager;
  struct zwlr_virtual_pointer_v1 *pointer;
  struct zwp_virtual_keyboard_v1 *keyboard;
  struct xkb_keymap *keymap;
  // The keys held, from which the modifiers come: a virtual keyboard's
  // keys change none by themselves.
  struct xkb_state *state;
  uint32_t width, height;
};

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
  (void)version;
  struct session *s = data;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !s->seat) {
    s->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    s->pointer_manager =
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
    s->keyboard_manager =
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
  }
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// Hands the compositor the keymap the keys are looked up in, through a file
// it can map.
static const char *give_keymap(struct session *s) {
  const char *failure = input_load_keymap(&s->keymap);
  if (failure) return failure;
  char *text = xkb_keymap_get_as_string(s->keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!text) return "keymap not written";
  size_t size = strlen(text) + 1;
  int fd = memfd_create("keymap", MFD_CLOEXEC);
  bool written = fd >= 0 && write(fd, text, size) == (ssize_t)size;
  free(text);
  if (!written) {
    if (fd >= 0) close(fd);
    return "keymap file not written";
  }
  zwp_virtual_keyboard_v1_keymap(s->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
  close(fd);
  return NULL;
}

static void move(void *data, uint32_t x, uint32_t y) {
  struct session *s = data;
  zwlr_virtual_pointer_v1_motion_absolute(s->pointer, now_ms(), x, y, s->width, s->height);
  zwlr_virtual_pointer_v1_frame(s->pointer);
}

static void button(void *data, uint32_t code, uint32_t state) {
  struct session *s = data;
  zwlr_virtual_pointer_v1_button(s->pointer, now_ms(), code, state);
  zwlr_virtual_pointer_v1_frame(s->pointer);
}

static void key(void *data, uint32_t code, uint32_t state) {
  struct session *s = data;
  zwp_virtual_keyboard_v1_key(s->keyboard, now_ms(), code, state);
  // xkb keycodes are evdev codes plus 8.
  if (xkb_state_update_key(s->state, code + 8,
                           state == WL_KEYBOARD_KEY_STATE_PRESSED ? XKB_KEY_DOWN : XKB_KEY_UP)) {
    zwp_virtual_keyboard_v1_modifiers(
        s->keyboard, xkb_state_serialize_mods(s->state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(s->state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(s->state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(s->state, XKB_STATE_LAYOUT_EFFECTIVE));
  }
}

static long size_argument(const char *word) {
  long value = input_number(word, 1L << 20);
  return value > 0 ? value : -1;
}

int main(int argc, char **argv) {
  setvbuf(stdout, NULL, _IOLBF, 0);
  struct session s = {0};
  long width = argc == 3 ? size_argument(argv[1]) : -1;
  long height = argc == 3 ? size_argument(argv[2]) : -1;
  if (width < 0 || height < 0) {
    printf("error: usage: virtual-input WIDTH HEIGHT (the layout's size)\n");
    return 2;
  }
  s.width = (uint32_t)width;
  s.height = (uint32_t)height;
  s.display = input_connect(&registry_listener, &s);
  if (!s.seat || !s.pointer_manager || !s.keyboard_manager) {
    printf("error: the compositor lacks a seat, virtual pointers or virtual keyboards\n");
    return 1;
  }
  s.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(s.pointer_manager, s.seat);
  s.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(s.keyboard_manager, s.seat);
  const char *failure = give_keymap(&s);
  if (!failure && !(s.state = xkb_state_new(s.keymap))) failure = "no keyboard state";
  if (failure) {
    printf("error: %s\n", failure);
    return 1;
  }
  const struct input_device device = {
      .data = &s,
      .max_x = width - 1,
      .max_y = height - 1,
      .move_usage = "usage: move X Y, within the layout",
      .move = move,
      .button = button,
      .key = key,
  };
  input_serve(s.display, s.keymap, &device);
  xkb_state_unref(s.state);
  zwp_virtual_keyboard_v1_destroy(s.keyboard);
  zwlr_virtual_pointer_v1_destroy(s.pointer);
  input_disconnect(s.display, s.keymap);
  return 0;
}
