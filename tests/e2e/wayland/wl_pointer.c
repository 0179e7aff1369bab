// wl_pointer: a virtual pointer for the Wayland end-to-end tests, through
// wlroots' zwlr_virtual_pointer_v1 (sway and other wlroots compositors).
//
//   wl_pointer move X Y
//   wl_pointer click X Y [left|right|middle]
//   wl_pointer press X Y [left|right|middle]
//   wl_pointer release X Y [left|right|middle]
//   wl_pointer scroll X Y STEPS        (wheel steps, positive = down)
//   wl_pointer hold                    (keeps a pointer plugged in until killed)
//
// X and Y are layout coordinates, as swaymsg -t get_outputs gives them. Actions
// can be chained, e.g. `wl_pointer press 10 10 left move 40 10 release 40 10 left`,
// and go out through one device. The program exits once the compositor has
// handled them (a roundtrip).
//
// `hold` is for the harness: each run of this program plugs a pointer in and
// pulls it out, and when it was the seat's only one, clients lose and regain
// their wl_pointer around every click, racing the click itself. With one held
// for the whole test the seat keeps its pointer capability.

#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <limits.h>
#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#define MAX_OUTPUTS 16

struct output {
  struct wl_output *wl;
  struct zxdg_output_v1 *xdg;
  int32_t x, y, width, height;  // logical, in the layout
};

static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *pointer_manager;
static struct zxdg_output_manager_v1 *output_manager;
static struct output outputs[MAX_OUTPUTS];
static int output_count;

static void die(const char *message) {
  fprintf(stderr, "wl_pointer: %s\n", message);
  exit(1);
}

static void usage(void) {
  fputs("usage: wl_pointer move X Y | click X Y [left|right|middle] | press X Y [BUTTON]\n"
        "                  | release X Y [BUTTON] | scroll X Y STEPS | hold\n",
        stderr);
  exit(2);
}

static uint32_t now_ms(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static void output_position(void *data, struct zxdg_output_v1 *xdg, int32_t x, int32_t y) {
  (void)xdg;
  struct output *output = data;
  output->x = x;
  output->y = y;
}

static void output_size(void *data, struct zxdg_output_v1 *xdg, int32_t width, int32_t height) {
  (void)xdg;
  struct output *output = data;
  output->width = width;
  output->height = height;
}

static void output_ignore(void *data, struct zxdg_output_v1 *xdg) {
  (void)data;
  (void)xdg;
}

static void output_ignore_text(void *data, struct zxdg_output_v1 *xdg, const char *text) {
  (void)data;
  (void)xdg;
  (void)text;
}

static const struct zxdg_output_v1_listener output_listener = {
    .logical_position = output_position,
    .logical_size = output_size,
    .done = output_ignore,
    .name = output_ignore_text,
    .description = output_ignore_text,
};

static void global_added(void *data, struct wl_registry *registry, uint32_t name,
                         const char *interface, uint32_t version) {
  (void)data;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    pointer_manager =
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  } else if (strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
    output_manager = wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface,
                                      version < 3 ? version : 3);
  } else if (strcmp(interface, wl_output_interface.name) == 0 && output_count < MAX_OUTPUTS) {
    outputs[output_count++].wl = wl_registry_bind(registry, name, &wl_output_interface, 1);
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

// The box around every output: what motion_absolute's extents span.
static int32_t layout_x, layout_y, layout_width, layout_height;

static void read_layout(struct wl_display *display) {
  if (!output_manager) die("the compositor has no zxdg_output_manager_v1");
  for (int i = 0; i < output_count; i++) {
    outputs[i].xdg = zxdg_output_manager_v1_get_xdg_output(output_manager, outputs[i].wl);
    zxdg_output_v1_add_listener(outputs[i].xdg, &output_listener, &outputs[i]);
  }
  wl_display_roundtrip(display);
  int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  for (int i = 0; i < output_count; i++) {
    const struct output *o = &outputs[i];
    if (o->width <= 0 || o->height <= 0) continue;  // disabled
    if (o->x < left) left = o->x;
    if (o->y < top) top = o->y;
    if (o->x + o->width > right) right = o->x + o->width;
    if (o->y + o->height > bottom) bottom = o->y + o->height;
  }
  if (left >= right || top >= bottom) die("no output is enabled");
  layout_x = left;
  layout_y = top;
  layout_width = right - left;
  layout_height = bottom - top;
}

static long number(const char *text) {
  char *end;
  errno = 0;
  long value = strtol(text, &end, 10);
  if (errno || end == text || *end) usage();
  return value;
}

static void move(struct zwlr_virtual_pointer_v1 *pointer, const char *x_text, const char *y_text) {
  long x = number(x_text) - layout_x, y = number(y_text) - layout_y;
  if (x < 0 || y < 0 || x >= layout_width || y >= layout_height) {
    fprintf(stderr, "wl_pointer: %s,%s is outside the layout (%d,%d %dx%d)\n", x_text, y_text,
            layout_x, layout_y, layout_width, layout_height);
    exit(1);
  }
  zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), (uint32_t)x, (uint32_t)y,
                                          (uint32_t)layout_width, (uint32_t)layout_height);
  zwlr_virtual_pointer_v1_frame(pointer);
}

// Consumes an optional button name at argv[*i]; left when there is none.
static uint32_t button(int argc, char **argv, int *i) {
  static const struct {
    const char *name;
    uint32_t code;
  } buttons[] = {{"left", BTN_LEFT}, {"right", BTN_RIGHT}, {"middle", BTN_MIDDLE}};
  if (*i < argc) {
    for (size_t b = 0; b < sizeof buttons / sizeof buttons[0]; b++) {
      if (strcmp(argv[*i], buttons[b].name) == 0) {
        (*i)++;
        return buttons[b].code;
      }
    }
  }
  return BTN_LEFT;
}

static void send_button(struct zwlr_virtual_pointer_v1 *pointer, uint32_t code,
                        enum wl_pointer_button_state state) {
  zwlr_virtual_pointer_v1_button(pointer, now_ms(), code, state);
  zwlr_virtual_pointer_v1_frame(pointer);
}

static void scroll(struct zwlr_virtual_pointer_v1 *pointer, long steps) {
  // 15 per step, as libinput reports a wheel.
  zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
  zwlr_virtual_pointer_v1_axis_discrete(pointer, now_ms(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                        wl_fixed_from_int((int)(15 * steps)), (int32_t)steps);
  zwlr_virtual_pointer_v1_frame(pointer);
}

int main(int argc, char **argv) {
  if (argc < 2) usage();
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) die("cannot connect to the Wayland display (WAYLAND_DISPLAY, XDG_RUNTIME_DIR)");
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!pointer_manager) die("the compositor has no zwlr_virtual_pointer_manager_v1");
  struct zwlr_virtual_pointer_v1 *pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointer_manager, seat);

  if (strcmp(argv[1], "hold") == 0) {
    if (argc != 2) usage();
    if (wl_display_roundtrip(display) < 0) die("the compositor went away");
    puts("ready");
    fflush(stdout);
    // Until killed, or the compositor ends.
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
  }

  read_layout(display);
  for (int i = 1; i < argc;) {
    const char *action = argv[i++];
    if (i + 2 > argc) usage();
    const char *x = argv[i++], *y = argv[i++];
    if (strcmp(action, "move") == 0) {
      move(pointer, x, y);
    } else if (strcmp(action, "click") == 0) {
      uint32_t code = button(argc, argv, &i);
      move(pointer, x, y);
      send_button(pointer, code, WL_POINTER_BUTTON_STATE_PRESSED);
      send_button(pointer, code, WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (strcmp(action, "press") == 0 || strcmp(action, "release") == 0) {
      uint32_t code = button(argc, argv, &i);
      move(pointer, x, y);
      send_button(pointer, code,
                  action[0] == 'p' ? WL_POINTER_BUTTON_STATE_PRESSED
                                   : WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (strcmp(action, "scroll") == 0) {
      if (i >= argc) usage();
      long steps = number(argv[i++]);
      move(pointer, x, y);
      scroll(pointer, steps);
    } else {
      usage();
    }
  }
  if (wl_display_roundtrip(display) < 0) die("the compositor went away");
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
