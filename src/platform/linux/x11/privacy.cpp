#include "platform/linux/x11/privacy.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <cstring>

namespace hushpad::linux {

bool isWaylandSession(const char* xdgSessionType, const char* waylandDisplay) {
  const bool waylandType = xdgSessionType != nullptr && std::strcmp(xdgSessionType, "wayland") == 0;
  const bool waylandSocket = waylandDisplay != nullptr && *waylandDisplay != '\0';
  return waylandType || waylandSocket;
}

bool isXWaylandServer(GdkDisplay* display) {
  if (!GDK_IS_X11_DISPLAY(display)) return false;
  int opcode = 0;
  int firstEvent = 0;
  int firstError = 0;
  if (XQueryExtension(GDK_DISPLAY_XDISPLAY(display), "XWAYLAND", &opcode, &firstEvent,
                      &firstError)) {
    return true;
  }
  for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
    const char* output = gdk_monitor_get_model(gdk_display_get_monitor(display, i));
    if (output != nullptr && g_str_has_prefix(output, "XWAYLAND")) return true;
  }
  return false;
}

}  // namespace hushpad::linux
