#include "platform/linux/wayland/compositor.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

namespace hushpad::linux {
namespace {

void global(void* offered, wl_registry*, uint32_t, const char* interface, uint32_t) {
  if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) *static_cast<bool*>(offered) = true;
}

void globalRemoved(void*, wl_registry*, uint32_t) {}

}  // namespace

bool compositorOffersLayerShell() {
  if (std::getenv("WAYLAND_SOCKET") != nullptr) return true;
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return false;
  static const wl_registry_listener listener{global, globalRemoved};
  bool offered = false;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &offered);
  if (wl_display_roundtrip(display) < 0) offered = false;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return offered;
}

}  // namespace hushpad::linux
