// Another client's small window on a Wayland desktop, there to hold the
// focus while the program's window is used from behind it. It shows a
// window titled "Bystander", having said "ready" once connected, and then
// "focused" or "unfocused" as the compositor gives the window the keyboard
// or takes it away. It ends at the end of its input.
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <poll.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <wayland-client.h>

#include "xdg-shell-client.h"

// Small, so that wherever the compositor places it, it is unlikely to lie
// over a point of the program's window that is pressed.
enum { SIZE = 8 };

struct bystander {
  struct wl_compositor *compositor;
  struct wl_shm *shm;
  struct xdg_wm_base *wm_base;
  struct wl_seat *seat;
  struct wl_keyboard *keyboard;
  struct wl_surface *surface;
  struct wl_buffer *buffer;
  bool configured;
};

static void say(const char *word) {
  printf("%s\n", word);
  fflush(stdout);
}

static void fail(const char *what) {
  printf("error: %s\n", what);
  exit(1);
}

static void ping(void *data, struct xdg_wm_base *wm_base, uint32_t serial) {
  (void)data;
  xdg_wm_base_pong(wm_base, serial);
}

static const struct xdg_wm_base_listener wm_base_listener = {.ping = ping};

static void keyboard_keymap(void *data, struct wl_keyboard *keyboard, uint32_t format, int32_t fd,
                            uint32_t size) {
  (void)data;
  (void)keyboard;
  (void)format;
  (void)size;
  close(fd);
}

static void keyboard_enter(void *data, struct wl_keyboard *keyboard, uint32_t serial,
                           struct wl_surface *surface, struct wl_array *keys) {
  (void)data;
  (void)keyboard;
  (void)serial;
  (void)surface;
  (void)keys;
  say("focused");
}

static void keyboard_leave(void *data, struct wl_keyboard *keyboard, uint32_t serial,
                           struct wl_surface *surface) {
  (void)data;
  (void)keyboard;
  (void)serial;
  (void)surface;
  say("unfocused");
}

static void keyboard_key(void *data, struct wl_keyboard *keyboard, uint32_t serial, uint32_t time,
                         uint32_t key, uint32_t state) {
  (void)data;
  (void)keyboard;
  (void)serial;
  (void)time;
  (void)key;
  (void)state;
}

static void keyboard_modifiers(void *data, struct wl_keyboard *keyboard, uint32_t serial,
                               uint32_t depressed, uint32_t latched, uint32_t locked,
                               uint32_t group) {
  (void)data;
  (void)keyboard;
  (void)serial;
  (void)depressed;
  (void)latched;
  (void)locked;
  (void)group;
}

static void keyboard_repeat(void *data, struct wl_keyboard *keyboard, int32_t rate, int32_t delay) {
  (void)data;
  (void)keyboard;
  (void)rate;
  (void)delay;
}

static const struct wl_keyboard_listener keyboard_listener = {
    .keymap = keyboard_keymap,
    .enter = keyboard_enter,
    .leave = keyboard_leave,
    .key = keyboard_key,
    .modifiers = keyboard_modifiers,
    .repeat_info = keyboard_repeat,
};

static void seat_capabilities(void *data, struct wl_seat *seat, uint32_t capabilities) {
  struct bystander *b = data;
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !b->keyboard) {
    b->keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(b->keyboard, &keyboard_listener, b);
  }
}

static void seat_name(void *data, struct wl_seat *seat, const char *name) {
  (void)data;
  (void)seat;
  (void)name;
}

static const struct wl_seat_listener seat_listener = {.capabilities = seat_capabilities,
                                                      .name = seat_name};

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
  (void)version;
  struct bystander *b = data;
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    b->compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    b->shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
    b->wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
    xdg_wm_base_add_listener(b->wm_base, &wm_base_listener, b);
  } else if (strcmp(interface, wl_seat_interface.name) == 0 && !b->seat) {
    b->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    wl_seat_add_listener(b->seat, &seat_listener, b);
  }
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {.global = global,
                                                              .global_remove = global_remove};

// One frame of a single dark colour, clear of the program's grey.
static struct wl_buffer *solid_buffer(struct wl_shm *shm) {
  const int stride = SIZE * 4, size = stride * SIZE;
  char name[] = "/tmp/bystander-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) fail("no shared memory file");
  unlink(name);
  if (ftruncate(fd, size) < 0) fail("no shared memory");
  uint32_t *pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) fail("no shared memory mapping");
  for (int i = 0; i < SIZE * SIZE; i++) pixels[i] = 0xff203080;
  munmap(pixels, size);
  struct wl_shm_pool *pool = wl_shm_create_pool(shm, fd, size);
  struct wl_buffer *buffer =
      wl_shm_pool_create_buffer(pool, 0, SIZE, SIZE, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

static void surface_configure(void *data, struct xdg_surface *surface, uint32_t serial) {
  struct bystander *b = data;
  xdg_surface_ack_configure(surface, serial);
  if (!b->buffer) b->buffer = solid_buffer(b->shm);
  wl_surface_attach(b->surface, b->buffer, 0, 0);
  wl_surface_damage(b->surface, 0, 0, SIZE, SIZE);
  wl_surface_commit(b->surface);
  b->configured = true;
}

static const struct xdg_surface_listener surface_listener = {.configure = surface_configure};

static void toplevel_configure(void *data, struct xdg_toplevel *toplevel, int32_t width,
                               int32_t height, struct wl_array *states) {
  (void)data;
  (void)toplevel;
  (void)width;
  (void)height;
  (void)states;
}

static void toplevel_close(void *data, struct xdg_toplevel *toplevel) {
  (void)data;
  (void)toplevel;
}

static const struct xdg_toplevel_listener toplevel_listener = {.configure = toplevel_configure,
                                                               .close = toplevel_close};

static void round_trip(struct wl_display *display) {
  if (wl_display_roundtrip(display) < 0) fail("lost the compositor");
}

int main(void) {
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) fail("no Wayland display");
  struct bystander b = {0};
  wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, &b);
  round_trip(display);
  if (!b.compositor || !b.shm || !b.wm_base || !b.seat) fail("the compositor lacks a global");
  // Before the window, so that its focus is said after this.
  say("ready");

  b.surface = wl_compositor_create_surface(b.compositor);
  struct xdg_surface *xdg_surface = xdg_wm_base_get_xdg_surface(b.wm_base, b.surface);
  xdg_surface_add_listener(xdg_surface, &surface_listener, &b);
  struct xdg_toplevel *toplevel = xdg_surface_get_toplevel(xdg_surface);
  xdg_toplevel_add_listener(toplevel, &toplevel_listener, &b);
  xdg_toplevel_set_title(toplevel, "Bystander");
  xdg_toplevel_set_app_id(toplevel, "bystander");
  // A fixed size, so that a tiling compositor floats it rather than
  // spreading it under the program's window.
  xdg_toplevel_set_min_size(toplevel, SIZE, SIZE);
  xdg_toplevel_set_max_size(toplevel, SIZE, SIZE);
  wl_surface_commit(b.surface);
  while (!b.configured) {
    if (wl_display_dispatch(display) < 0) fail("lost the compositor");
  }

  struct pollfd fds[] = {{.fd = wl_display_get_fd(display), .events = POLLIN},
                         {.fd = STDIN_FILENO, .events = POLLIN}};
  for (;;) {
    wl_display_flush(display);
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      fail("poll failed");
    }
    if (fds[0].revents && wl_display_dispatch(display) < 0) fail("lost the compositor");
    if (fds[1].revents) {
      char chunk[64];
      if (read(STDIN_FILENO, chunk, sizeof chunk) <= 0) break;
    }
  }
  wl_display_disconnect(display);
  return 0;
}
