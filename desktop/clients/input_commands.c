#define _POSIX_C_SOURCE 200809L
#include "input_commands.h"

#include <errno.h>
#include <linux/input-event-codes.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

const char *input_load_keymap(struct xkb_keymap **keymap) {
  struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!context) return "no xkb context";
  const struct xkb_rule_names names = {.layout = "us"};
  *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  xkb_context_unref(context);
  return *keymap ? NULL : "no \"us\" keymap";
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

// Presses the keys of "shift+f" in order and releases them in reverse, or
// does only one half; the compositor derives the modifiers from the keys held.
static const char *type_keys(struct xkb_keymap *keymap, const struct input_device *device,
                             char *keys, bool press, bool release) {
  enum { MAX_KEYS = 8 };
  int codes[MAX_KEYS];
  int count = 0;
  for (char *part = strtok(keys, "+"); part; part = strtok(NULL, "+")) {
    if (count == MAX_KEYS) return "too many keys";
    codes[count] = part_code(keymap, part);
    if (codes[count] < 0) return "unknown key";
    count++;
  }
  if (count == 0) return "no key";
  for (int i = 0; press && i < count; i++) {
    device->key(device->data, (uint32_t)codes[i], WL_KEYBOARD_KEY_STATE_PRESSED);
  }
  for (int i = count - 1; release && i >= 0; i--) {
    device->key(device->data, (uint32_t)codes[i], WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  return NULL;
}

long input_number(const char *word, long limit) {
  if (!word || *word < '0' || *word > '9') return -1;
  char *end;
  errno = 0;
  long value = strtol(word, &end, 10);
  return *end || errno || value > limit ? -1 : value;
}

// Carries out one command line; NULL when done, else what is wrong with it.
static const char *command(struct xkb_keymap *keymap, const struct input_device *device, char *line,
                           bool *quit) {
  const char *separators = " \t\r\n";
  char *word = strtok(line, separators);
  char *first = strtok(NULL, separators);
  char *second = strtok(NULL, separators);
  bool extra = strtok(NULL, separators) != NULL;
  if (!word) return "empty command";
  if (strcmp(word, "move") == 0) {
    long x = input_number(first, device->max_x), y = input_number(second, device->max_y);
    if (x < 0 || y < 0 || extra) return device->move_usage;
    device->move(device->data, (uint32_t)x, (uint32_t)y);
  } else if (strcmp(word, "button") == 0) {
    long down = input_number(first, 1);
    bool right = second && strcmp(second, "right") == 0;
    if (down < 0 || (second && !right) || extra) return "usage: button 1|0 [right]";
    device->button(device->data, right ? BTN_RIGHT : BTN_LEFT,
                   down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  } else if (strcmp(word, "key") == 0 || strcmp(word, "press") == 0 ||
             strcmp(word, "release") == 0) {
    if (!first || second) return "usage: key|press|release KEYS, as in shift+f";
    return type_keys(keymap, device, first, word[0] != 'r', word[0] != 'p');
  } else if (strcmp(word, "quit") == 0) {
    if (first) return "usage: quit";
    *quit = true;
  } else {
    return "unknown command";
  }
  return NULL;
}

struct wl_display *input_connect(const struct wl_registry_listener *listener, void *data) {
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) {
    printf("error: no Wayland display: %s\n", strerror(errno));
    exit(1);
  }
  wl_registry_add_listener(wl_display_get_registry(display), listener, data);
  input_round_trip(display);
  return display;
}

void input_round_trip(struct wl_display *display) {
  if (wl_display_roundtrip(display) < 0) {
    printf("error: lost the compositor: %s\n", strerror(wl_display_get_error(display)));
    exit(1);
  }
}

void input_disconnect(struct wl_display *display, struct xkb_keymap *keymap) {
  xkb_keymap_unref(keymap);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
}

void input_serve(struct wl_display *display, struct xkb_keymap *keymap,
                 const struct input_device *device) {
  input_round_trip(display);
  printf("ready\n");
  char *line = NULL;
  size_t capacity = 0;
  bool quit = false;
  while (!quit && getline(&line, &capacity, stdin) >= 0) {
    const char *failure = command(keymap, device, line, &quit);
    input_round_trip(display);
    if (failure) {
      printf("error: %s\n", failure);
    } else {
      printf("ok\n");
    }
  }
  free(line);
}
