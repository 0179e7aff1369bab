#include "platform/linux/wayland/compositor.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

namespace hushpad::linux {
namespace {

void global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
  auto* offers = static_cast<CompositorOffers*>(data);
  if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) offers->layerShell = true;
  if (std::strcmp(interface, "zwp_keyboard_shortcuts_inhibit_manager_v1") == 0) {
    offers->shortcutsInhibitor = true;
  }
}

void globalRemoved(void*, wl_registry*, uint32_t) {}

}  // namespace

CompositorOffers askCompositor() {
  CompositorOffers offers;
  // A socket handed over by the compositor can be used once only: it is left
  // for GTK, and the layer-shell is asked for once GTK has connected.
  if (std::getenv("WAYLAND_SOCKET") != nullptr) {
    offers.connected = true;
    offers.layerShell = true;
    return offers;
  }
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return offers;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return offers;
  static const wl_registry_listener listener{global, globalRemoved};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &offers);
  offers.connected = wl_display_roundtrip(display) >= 0;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return offers;
}

}  // namespace hushpad::linux
