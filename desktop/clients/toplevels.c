// The compositor's own word on its windows, for compositors that tell a
// taskbar of them (wlr-foreign-toplevel-management) but offer no other way
// to ask, held for the whole session:
//
//   find TITLE     the number of the newest window of that title, or "none"
//   state N        the window's states, as "maximized,activated", "-" for
//                  none, or "closed"
//   activate N     focuses the window, bringing it back if minimised
//   unmaximize N
//   close N
//   quit
//
// It says "ready", then answers each command with one line ("ok" where no
// other answer is named) once the compositor has taken it, or "error: ...".
#define _POSIX_C_SOURCE 200809L
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <wayland-client.h>

#include "input_commands.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

struct window {
  struct zwlr_foreign_toplevel_handle_v1 *handle;
  long number;
  char *title;
  uint32_t states;  // a bit for each zwlr_foreign_toplevel_handle_v1_state
  bool closed;
  struct window *next;
};

struct session {
  struct wl_seat *seat;
  struct zwlr_foreign_toplevel_manager_v1 *manager;
  struct window *windows;  // newest first
  long count;
};

static void title(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle, const char *text) {
  (void)handle;
  struct window *w = data;
  free(w->title);
  w->title = strdup(text);
}

static void app_id(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle, const char *id) {
  (void)data;
  (void)handle;
  (void)id;
}

static void output(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle,
                   struct wl_output *out) {
  (void)data;
  (void)handle;
  (void)out;
}

static void state(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle,
                  struct wl_array *states) {
  (void)handle;
  struct window *w = data;
  w->states = 0;
  uint32_t *entry;
  wl_array_for_each(entry, states) {
    if (*entry < 32) w->states |= 1u << *entry;
  }
}

static void done(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle) {
  (void)data;
  (void)handle;
}

static void closed(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle) {
  (void)handle;
  struct window *w = data;
  w->closed = true;
}

static void parent(void *data, struct zwlr_foreign_toplevel_handle_v1 *handle,
                   struct zwlr_foreign_toplevel_handle_v1 *parent_handle) {
  (void)data;
  (void)handle;
  (void)parent_handle;
}

static const struct zwlr_foreign_toplevel_handle_v1_listener window_listener = {
    title, app_id, output, output, state, done, closed, parent};

static void toplevel(void *data, struct zwlr_foreign_toplevel_manager_v1 *manager,
                     struct zwlr_foreign_toplevel_handle_v1 *handle) {
  (void)manager;
  struct session *s = data;
  struct window *w = calloc(1, sizeof *w);
  if (!w) {
    printf("error: out of memory\n");
    exit(1);
  }
  w->handle = handle;
  w->number = ++s->count;
  w->next = s->windows;
  s->windows = w;
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &window_listener, w);
}

static void finished(void *data, struct zwlr_foreign_toplevel_manager_v1 *manager) {
  (void)data;
  (void)manager;
}

static const struct zwlr_foreign_toplevel_manager_v1_listener manager_listener = {toplevel,
                                                                                  finished};

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
  struct session *s = data;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !s->seat) {
    s->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
    s->manager = wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                                  version < 3 ? version : 3);
    zwlr_foreign_toplevel_manager_v1_add_listener(s->manager, &manager_listener, s);
  }
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static struct window *numbered(struct session *s, const char *word) {
  long number = input_number(word, s->count);
  for (struct window *w = s->windows; w; w = w->next) {
    if (w->number == number) return w;
  }
  return NULL;
}

static void say_states(const struct window *w) {
  static const char *const names[] = {"maximized", "minimized", "activated", "fullscreen"};
  if (w->closed) {
    printf("closed\n");
    return;
  }
  bool any = false;
  for (uint32_t i = 0; i < sizeof names / sizeof names[0]; i++) {
    if (w->states & 1u << i) {
      printf("%s%s", any ? "," : "", names[i]);
      any = true;
    }
  }
  printf("%s\n", any ? "" : "-");
}

// Carries out one command line and says its answer.
static void command(struct wl_display *display, struct session *s, char *line, bool *quit) {
  line[strcspn(line, "\r\n")] = '\0';
  char *rest = strchr(line, ' ');
  if (rest) *rest++ = '\0';
  if (strcmp(line, "quit") == 0) {
    *quit = true;
    printf("ok\n");
    return;
  }
  if (strcmp(line, "find") == 0 && rest) {
    for (struct window *w = s->windows; w; w = w->next) {
      if (!w->closed && w->title && strcmp(w->title, rest) == 0) {
        printf("%ld\n", w->number);
        return;
      }
    }
    printf("none\n");
    return;
  }
  struct window *w = rest ? numbered(s, rest) : NULL;
  if (!w) {
    printf("error: usage: find TITLE | state|activate|unmaximize|close N\n");
  } else if (strcmp(line, "state") == 0) {
    say_states(w);
  } else if (w->closed) {
    printf("error: window %ld is closed\n", w->number);
  } else {
    if (strcmp(line, "activate") == 0) {
      zwlr_foreign_toplevel_handle_v1_activate(w->handle, s->seat);
    } else if (strcmp(line, "unmaximize") == 0) {
      zwlr_foreign_toplevel_handle_v1_unset_maximized(w->handle);
    } else if (strcmp(line, "close") == 0) {
      zwlr_foreign_toplevel_handle_v1_close(w->handle);
    } else {
      printf("error: unknown command\n");
      return;
    }
    input_round_trip(display);
    printf("ok\n");
  }
}

int main(void) {
  setvbuf(stdout, NULL, _IOLBF, 0);
  struct session s = {0};
  struct wl_display *display = input_connect(&registry_listener, &s);
  if (!s.seat || !s.manager) {
    printf("error: the compositor lacks a seat or wlr-foreign-toplevel-management\n");
    return 1;
  }
  input_round_trip(display);
  printf("ready\n");
  char *line = NULL;
  size_t capacity = 0;
  bool quit = false;
  while (!quit && getline(&line, &capacity, stdin) >= 0) {
    // What has changed since the last command, first.
    input_round_trip(display);
    command(display, &s, line, &quit);
  }
  free(line);
  wl_display_disconnect(display);
  return 0;
}
