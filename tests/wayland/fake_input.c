// The pointer and keyboard of a KWin session, worked through KWin's fake
// input interface for as long as the session lasts, by commands on stdin:
//
//   fake-input
//
//   move X Y      pointer to (X, Y) of the desktop, in logical pixels
//   button 1|0    left button down or up
//   key KEYS      one key with modifiers, as in "shift+f" or "Return"
//   quit
//
// It says "ready" once KWin has granted the interface, then answers every
// command with one line, "ok" once KWin has taken it, or "error: ..." for a
// command it cannot carry out. A lost compositor ends it with an error.
// KWin offers the interface only to the programs a .desktop file names.
#define _GNU_SOURCE
#include <errno.h>
#include <linux/input-event-codes.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "fake-input-client.h"

// Keyboard keys came with version 4.
#define FAKE_INPUT_VERSION 4

struct session {
  struct wl_display *display;
  struct org_kde_kwin_fake_input *input;
  struct xkb_keymap *keymap;
};

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
  struct session *s = data;
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

// KWin's keymap is "us" unless its session says otherwise; the keys are
// looked up in the same one.
static const char *load_keymap(struct session *s) {
  struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!context) return "no xkb context";
  const struct xkb_rule_names names = {.layout = "us"};
  s->keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  xkb_context_unref(context);
  return s->keymap ? NULL : "no \"us\" keymap";
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

// Presses the keys of "shift+f" in order and releases them in reverse; KWin
// derives the modifiers from the keys held.
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
    org_kde_kwin_fake_input_keyboard_key(s->input, (uint32_t)codes[i],
                                         WL_KEYBOARD_KEY_STATE_PRESSED);
  }
  for (int i = count - 1; i >= 0; i--) {
    org_kde_kwin_fake_input_keyboard_key(s->input, (uint32_t)codes[i],
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
  // Far beyond any desktop, and within a Wayland fixed-point number.
  const long largest = 1L << 20;
  const char *separators = " \t\r\n";
  char *word = strtok(line, separators);
  char *first = strtok(NULL, separators);
  char *second = strtok(NULL, separators);
  bool extra = strtok(NULL, separators) != NULL;
  if (!word) return "empty command";
  if (strcmp(word, "move") == 0) {
    long x = number(first, largest), y = number(second, largest);
    if (x < 0 || y < 0 || extra) return "usage: move X Y";
    org_kde_kwin_fake_input_pointer_motion_absolute(s->input, wl_fixed_from_int((int)x),
                                                    wl_fixed_from_int((int)y));
  } else if (strcmp(word, "button") == 0) {
    long down = number(first, 1);
    if (down < 0 || second) return "usage: button 1|0";
    org_kde_kwin_fake_input_button(
        s->input, BTN_LEFT,
        down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
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

// Waits until KWin has handled every request sent so far.
static void sync_or_die(struct session *s) {
  if (wl_display_roundtrip(s->display) < 0) {
    printf("error: lost the compositor: %s\n", strerror(wl_display_get_error(s->display)));
    exit(1);
  }
}

int main(int argc, char **argv) {
  (void)argv;
  setvbuf(stdout, NULL, _IOLBF, 0);
  if (argc != 1) {
    printf("error: usage: fake-input (commands on stdin)\n");
    return 2;
  }
  struct session s = {0};
  const char *failure = load_keymap(&s);
  if (failure) {
    printf("error: %s\n", failure);
    return 1;
  }
  s.display = wl_display_connect(NULL);
  if (!s.display) {
    printf("error: no Wayland display: %s\n", strerror(errno));
    return 1;
  }
  struct wl_registry *registry = wl_display_get_registry(s.display);
  wl_registry_add_listener(registry, &registry_listener, &s);
  sync_or_die(&s);
  if (!s.input) {
    printf("error: the compositor offers no fake input of version %d to this program\n",
           FAKE_INPUT_VERSION);
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(s.input, "window-test", "drives the program under test");
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
  org_kde_kwin_fake_input_destroy(s.input);
  xkb_keymap_unref(s.keymap);
  wl_display_roundtrip(s.display);
  wl_display_disconnect(s.display);
  return 0;
}
