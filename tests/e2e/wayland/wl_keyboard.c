// wl_keyboard: a keyboard held plugged in for the Wayland end-to-end tests,
// through zwp_virtual_keyboard_v1 (sway and other wlroots compositors).
//
//   wl_keyboard hold      (keeps a keyboard plugged in until killed)
//
// The headless sway of the tests has no keyboard of its own, and wtype plugs
// one in only while it runs: between two runs the seat has no keyboard
// capability, so no client gets a wl_keyboard.enter then, e.g. a layer-shell
// surface that asks for the keyboard exclusively when it is mapped. A real
// session always has a keyboard; this one stands for it. It sends no keys
// (wtype does), only its keymap, the default one (as XKB_DEFAULT_* or the
// system's defaults give it), which the compositor requires before it takes
// the keyboard in.

#define _GNU_SOURCE

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

static struct wl_seat *seat;
static struct zwp_virtual_keyboard_manager_v1 *keyboard_manager;

static void die(const char *message) {
  fprintf(stderr, "wl_keyboard: %s\n", message);
  exit(1);
}

static void usage(void) {
  fputs("usage: wl_keyboard hold\n", stderr);
  exit(2);
}

static void global_added(void *data, struct wl_registry *registry, uint32_t name,
                         const char *interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
    keyboard_manager =
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
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

// The default keymap as text, in a memfd; *size counts the closing NUL, as
// wl_keyboard.keymap wants.
static int default_keymap(uint32_t *size) {
  struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!context) die("cannot create an xkb context");
  struct xkb_keymap *keymap = xkb_keymap_new_from_names(context, NULL, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap) die("cannot compile the default keymap (xkb-data)");
  char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!text) die("cannot write the keymap out");
  size_t length = strlen(text) + 1;

  int fd = memfd_create("wl_keyboard-keymap", MFD_CLOEXEC);
  if (fd < 0) die("memfd_create failed");
  for (size_t done = 0; done < length;) {
    ssize_t written = write(fd, text + done, length - done);
    if (written <= 0) die("cannot write the keymap into its memfd");
    done += (size_t)written;
  }
  free(text);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  *size = (uint32_t)length;
  return fd;
}

int main(int argc, char **argv) {
  if (argc != 2 || strcmp(argv[1], "hold") != 0) usage();
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) die("cannot connect to the Wayland display (WAYLAND_DISPLAY, XDG_RUNTIME_DIR)");
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!seat) die("the compositor has no wl_seat");
  if (!keyboard_manager) die("the compositor has no zwp_virtual_keyboard_manager_v1");

  struct zwp_virtual_keyboard_v1 *keyboard =
      zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboard_manager, seat);
  uint32_t size;
  int fd = default_keymap(&size);
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
  // The request holds a duplicate of the descriptor from here on.
  close(fd);
  if (wl_display_roundtrip(display) < 0) die("the compositor went away");
  puts("ready");
  fflush(stdout);
  // Until killed, or the compositor ends.
  while (wl_display_dispatch(display) >= 0) {
  }
  return 0;
}
