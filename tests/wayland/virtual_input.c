// One virtual pointer and one virtual keyboard on a wlroots compositor, held
// for the whole session and worked through commands on stdin:
//
//   virtual-input WIDTH HEIGHT
//
//   move X Y      pointer to (X, Y) of the WIDTH x HEIGHT layout
//   button 1|0    left button down or up
//   key KEYS      one key with modifiers, as in "shift+f" or "Return"
//   quit
//
// It says "ready" once both devices exist, then answers every command with
// one line, "ok" once the compositor has taken it, or "error: ..." for a
// command it cannot carry out. A lost compositor ends it with an error.
// Devices made per event would race with the program that binds them.
#define _GNU_SOURCE
#include <errno.h>
#include <linux/input-event-codes.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

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
  struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!context) return "no xkb context";
  const struct xkb_rule_names names = {.layout = "us"};
  s->keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  xkb_context_unref(context);
  if (!s->keymap) return "no \"us\" keymap";
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

// The evdev code of the key whose first level gives this keysym, or -1.
static int evdev_code(struct xkb_keymap *keymap, xkb_keysym_t keysym) {
  xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; code++) {
    const xkb_keysym_t *syms;
    int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms);
    for (int i = 0; i < count; i++) {
      // xkb keycodes are evdev codes plus 8.
      if (syms[i] == keysym && code >= 8) return (int)code - 8;
    }
  }
  return -1;
}

static const struct {
  const char *name, *keysym;
} modifiers[] = {
    {"shift", "Shift_L"}, {"ctrl", "Control_L"}, {"alt", "Alt_L"}, {"super", "Super_L"}};

// The evdev code of one part of "shift+f": a modifier or a keysym name.
static int part_code(struct xkb_keymap *keymap, const char *part) {
  for (size_t i = 0; i < sizeof modifiers / sizeof modifiers[0]; i++) {
    if (strcasecmp(part, modifiers[i].name) == 0) part = modifiers[i].keysym;
  }
  xkb_keysym_t keysym = xkb_keysym_from_name(part, XKB_KEYSYM_NO_FLAGS);
  if (keysym == XKB_KEY_NoSymbol) keysym = xkb_keysym_from_name(part, XKB_KEYSYM_CASE_INSENSITIVE);
  return keysym == XKB_KEY_NoSymbol ? -1 : evdev_code(keymap, keysym);
}

// Presses the keys of "shift+f" in order and releases them in reverse; the
// compositor derives the modifiers from the keys held.
static const char *type_keys(struct session *s, char *keys) {
  enum { MAX_KEYS = 8 };
  int codes[MAX_KEYS];
  int count = 0;
  for (char *part = strtok(keys, "+"); part; part = strtok(NULL, "+")) {
    if (count == MAX_KEYS) return "too many keys";
    codes[count] = part_code(s->keymap, part);
    if (codes[count] < 0) return "unknown key";
    count++;
  }
  if (count == 0) return "no key";
  for (int i = 0; i < count; i++) {
    zwp_virtual_keyboard_v1_key(s->keyboard, now_ms(), (uint32_t)codes[i],
                                WL_KEYBOARD_KEY_STATE_PRESSED);
  }
  for (int i = count - 1; i >= 0; i--) {
    zwp_virtual_keyboard_v1_key(s->keyboard, now_ms(), (uint32_t)codes[i],
                                WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  return NULL;
}

// A whole decimal number from 0 to limit, or -1.
static long number(const char *word, long limit) {
  if (!word || *word < '0' || *word > '9') return -1;
  char *end;
  errno = 0;
  long value = strtol(word, &end, 10);
  return *end || errno || value > limit ? -1 : value;
}

// Carries out one command line; NULL when done, else what is wrong with it.
static const char *command(struct session *s, char *line, bool *quit) {
  const char *separators = " \t\r\n";
  char *word = strtok(line, separators);
  char *first = strtok(NULL, separators);
  char *second = strtok(NULL, separators);
  bool extra = strtok(NULL, separators) != NULL;
  if (!word) return "empty command";
  if (strcmp(word, "move") == 0) {
    long x = number(first, s->width - 1), y = number(second, s->height - 1);
    if (x < 0 || y < 0 || extra) return "usage: move X Y, within the layout";
    zwlr_virtual_pointer_v1_motion_absolute(s->pointer, now_ms(), (uint32_t)x, (uint32_t)y,
                                            s->width, s->height);
    zwlr_virtual_pointer_v1_frame(s->pointer);
  } else if (strcmp(word, "button") == 0) {
    long down = number(first, 1);
    if (down < 0 || second) return "usage: button 1|0";
    zwlr_virtual_pointer_v1_button(
        s->pointer, now_ms(), BTN_LEFT,
        down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(s->pointer);
  } else if (strcmp(word, "key") == 0) {
    if (!first || second) return "usage: key KEYS, as in shift+f";
    return type_keys(s, first);
  } else if (strcmp(word, "quit") == 0) {
    if (first) return "usage: quit";
    *quit = true;
  } else {
    return "unknown command";
  }
  return NULL;
}

// Waits until the compositor has handled every request sent so far.
static void sync_or_die(struct session *s) {
  if (wl_display_roundtrip(s->display) < 0) {
    printf("error: lost the compositor: %s\n", strerror(wl_display_get_error(s->display)));
    exit(1);
  }
}

static long size_argument(const char *word) {
  long value = number(word, 1L << 20);
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
  s.display = wl_display_connect(NULL);
  if (!s.display) {
    printf("error: no Wayland display: %s\n", strerror(errno));
    return 1;
  }
  struct wl_registry *registry = wl_display_get_registry(s.display);
  wl_registry_add_listener(registry, &registry_listener, &s);
  sync_or_die(&s);
  if (!s.seat || !s.pointer_manager || !s.keyboard_manager) {
    printf("error: the compositor lacks a seat, virtual pointers or virtual keyboards\n");
    return 1;
  }
  s.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(s.pointer_manager, s.seat);
  s.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(s.keyboard_manager, s.seat);
  const char *failure = give_keymap(&s);
  if (failure) {
    printf("error: %s\n", failure);
    return 1;
  }
  sync_or_die(&s);
  printf("ready\n");

  char *line = NULL;
  size_t capacity = 0;
  bool quit = false;
  while (!quit && getline(&line, &capacity, stdin) >= 0) {
    failure = command(&s, line, &quit);
    sync_or_die(&s);
    if (failure) {
      printf("error: %s\n", failure);
    } else {
      printf("ok\n");
    }
  }
  free(line);
  zwp_virtual_keyboard_v1_destroy(s.keyboard);
  zwlr_virtual_pointer_v1_destroy(s.pointer);
  xkb_keymap_unref(s.keymap);
  wl_display_roundtrip(s.display);
  wl_display_disconnect(s.display);
  return 0;
}
