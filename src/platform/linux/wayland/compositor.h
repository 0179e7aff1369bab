#pragma once
// Whether the Wayland compositor offers the layer-shell, asked before GTK opens
// its own connection: the choice between the Wayland and the X11 program
// depends on it.

namespace hushpad::linux {

// Connects to the compositor WAYLAND_DISPLAY names (if any), looks for
// zwlr_layer_shell_v1 among its globals and disconnects; false without a
// compositor. With a WAYLAND_SOCKET, which only one connection can use, the
// layer-shell is taken as offered and checked once GTK has connected.
bool compositorOffersLayerShell();

}  // namespace hushpad::linux
