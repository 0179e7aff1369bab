#pragma once
// What an X11 session lets a program do with the input. Main thread only.

#include <gdk/gdk.h>

#include "platform/privacy.h"

namespace hushpad::linux {

// Whether this is a Wayland session, told by the session type or a Wayland display.
bool isWaylandSession(const char* xdgSessionType, const char* waylandDisplay);
// Whether the X server is XWayland, whatever the environment says (a session
// started without WAYLAND_DISPLAY, XDG_SESSION_TYPE=x11 set by hand): it has
// the XWAYLAND extension, or RandR outputs named XWAYLAND...
bool isXWaylandServer(GdkDisplay* display);

// X11 has no privileges to grant: any client may grab the input, unless the
// session is a Wayland one, where an X11 grab holds only the other X11 programs.
class X11InputAccess final : public PrivacyAccess {
 public:
  explicit X11InputAccess(bool waylandSession) : waylandSession_(waylandSession) {}
  InputAccess inputAccess() override {
    return {.hasPrivilegesToGrant = false, .sessionCanBeHeld = !waylandSession_};
  }
  void promptForAccessibility() override {}
  void requestInputMonitoring() override {}

 private:
  bool waylandSession_;
};

}  // namespace hushpad::linux
