// wl_session_lock: a screen locker for the Wayland end-to-end tests: it takes
// the session's input as a locker does, prints "locked" once it has it, and
// lets go (printing "unlocked") at a line on its standard input or at its end.
//
//   wl_session_lock
//
// Through ext_session_lock_v1 where the compositor has it (swaylock from 1.6;
// a plain grey surface on each output, "locked" once the compositor says
// every output is covered), else through wlroots' input inhibitor, which
// older swaylock used with sway 1.7 (no surface: input goes nowhere). Either
// way, while it holds the input the compositor gives the keyboard to no other
// client, whatever that client asks for.

#define _GNU_SOURCE

#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "ext-session-lock-v1-client-protocol.h"
#include "wlr-input-inhibitor-unstable-v1-client-protocol.h"

#define MAX_OUTPUTS 8

static struct wl_compositor *compositor;
static struct wl_shm *shm;
static struct ext_session_lock_manager_v1 *lock_manager;
static struct zwlr_input_inhibit_manager_v1 *inhibit_manager;
static struct wl_output *outputs[MAX_OUTPUTS];
static int output_count;

struct lock_surface {
  struct wl_surface *surface;
  struct ext_session_lock_surface_v1 *lock_surface;
};
static struct lock_surface surfaces[MAX_OUTPUTS];

static void die(const char *message) {
  fprintf(stderr, "wl_session_lock: %s\n", message);
  exit(1);
}

static void global_added(void *data, struct wl_registry *registry, uint32_t name,
                         const char *interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 4);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, wl_output_interface.name) == 0 && output_count < MAX_OUTPUTS) {
    outputs[output_count++] = wl_registry_bind(registry, name, &wl_output_interface, 1);
  } else if (strcmp(interface, ext_session_lock_manager_v1_interface.name) == 0) {
    lock_manager = wl_registry_bind(registry, name, &ext_session_lock_manager_v1_interface, 1);
  } else if (strcmp(interface, zwlr_input_inhibit_manager_v1_interface.name) == 0) {
    inhibit_manager =
        wl_registry_bind(registry, name, &zwlr_input_inhibit_manager_v1_interface, 1);
  }
}

static void global_removed(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {
    .global = global_added,
    .global_remove = global_removed,
};

// A grey buffer of width x height, released with the surface.
static struct wl_buffer *grey_buffer(uint32_t width, uint32_t height) {
  const size_t stride = (size_t)width * 4;
  const size_t size = stride * height;
  const int fd = memfd_create("wl_session_lock", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, (off_t)size) != 0) die("no shared memory");
  uint32_t *pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) die("no shared memory");
  for (size_t i = 0; i < size / 4; ++i) pixels[i] = 0xff505050;
  munmap(pixels, size);
  struct wl_shm_pool *pool = wl_shm_create_pool(shm, fd, (int32_t)size);
  struct wl_buffer *buffer = wl_shm_pool_create_buffer(pool, 0, (int32_t)width, (int32_t)height,
                                                       (int32_t)stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

static void surface_configure(void *data, struct ext_session_lock_surface_v1 *lock_surface,
                              uint32_t serial, uint32_t width, uint32_t height) {
  struct lock_surface *surface = data;
  ext_session_lock_surface_v1_ack_configure(lock_surface, serial);
  wl_surface_attach(surface->surface, grey_buffer(width, height), 0, 0);
  wl_surface_damage_buffer(surface->surface, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface->surface);
}

static const struct ext_session_lock_surface_v1_listener surface_listener = {
    .configure = surface_configure,
};

static void locked(void *data, struct ext_session_lock_v1 *lock) {
  (void)data;
  (void)lock;
  puts("locked");
  fflush(stdout);
}

static void finished(void *data, struct ext_session_lock_v1 *lock) {
  (void)data;
  (void)lock;
  die("the compositor refused the lock (another one holds it?)");
}

static const struct ext_session_lock_v1_listener lock_listener = {
    .locked = locked,
    .finished = finished,
};

int main(int argc, char **argv) {
  (void)argv;
  if (argc != 1) {
    fputs("usage: wl_session_lock\n", stderr);
    return 2;
  }
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) die("cannot connect to the Wayland display");
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  struct ext_session_lock_v1 *lock = NULL;
  struct zwlr_input_inhibitor_v1 *inhibitor = NULL;
  if (lock_manager && compositor && shm && output_count > 0) {
    lock = ext_session_lock_manager_v1_lock(lock_manager);
    ext_session_lock_v1_add_listener(lock, &lock_listener, NULL);
  } else if (inhibit_manager) {
    inhibitor = zwlr_input_inhibit_manager_v1_get_inhibitor(inhibit_manager);
    wl_display_roundtrip(display);  // a refusal ends the connection here
    if (wl_display_get_error(display)) die("the compositor refused the input inhibitor");
    locked(NULL, NULL);
  } else {
    die("the compositor has neither ext_session_lock_manager_v1 nor zwlr_input_inhibit_manager_v1");
  }
  for (int i = 0; lock && i < output_count; ++i) {
    surfaces[i].surface = wl_compositor_create_surface(compositor);
    surfaces[i].lock_surface =
        ext_session_lock_v1_get_lock_surface(lock, surfaces[i].surface, outputs[i]);
    ext_session_lock_surface_v1_add_listener(surfaces[i].lock_surface, &surface_listener,
                                             &surfaces[i]);
  }
  wl_display_flush(display);

  struct pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  for (;;) {
    while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
    wl_display_flush(display);
    if (poll(fds, 2, -1) < 0) {
      wl_display_cancel_read(display);
      continue;
    }
    if (fds[0].revents & POLLIN) {
      if (wl_display_read_events(display) < 0) die("the compositor went away");
    } else {
      wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) die("the compositor went away");
    if (fds[1].revents & (POLLIN | POLLHUP)) break;
  }
  if (lock) ext_session_lock_v1_unlock_and_destroy(lock);
  if (inhibitor) zwlr_input_inhibitor_v1_destroy(inhibitor);
  wl_display_roundtrip(display);
  puts("unlocked");
  fflush(stdout);
  wl_display_disconnect(display);
  return 0;
}
