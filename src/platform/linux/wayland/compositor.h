#pragma once
// What the Wayland compositor offers, asked before GTK opens its own
// connection: the choice between the Wayland and the X11 program depends on it.

namespace hushpad::linux {

struct CompositorOffers {
  bool connected = false;         // WAYLAND_DISPLAY names a compositor that answered
  bool layerShell = false;        // zwlr_layer_shell_v1: surfaces over every window and panel
  bool shortcutsInhibitor = false;  // zwp_keyboard_shortcuts_inhibit_manager_v1
};

// Connects to the compositor WAYLAND_DISPLAY names (if any), reads its globals
// and disconnects. With a WAYLAND_SOCKET, which only one connection can use,
// the layer-shell is taken as offered and checked once GTK has connected.
CompositorOffers askCompositor();

}  // namespace hushpad::linux
