#include "platform/linux/x11/instance.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace hushpad::linux {

bool claimDisplay(GdkDisplay* display) {
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  const Atom selection = XInternAtom(x, "_HUSHPAD_INSTANCE", False);
  // Under the server grab no other Hushpad can claim it between the look and the claim.
  XGrabServer(x);
  bool claimed = false;
  if (XGetSelectionOwner(x, selection) == None) {
    const Window owner = XCreateSimpleWindow(x, DefaultRootWindow(x), -1, -1, 1, 1, 0, 0, 0);
    XSetSelectionOwner(x, selection, owner, CurrentTime);
    claimed = XGetSelectionOwner(x, selection) == owner;
  }
  XUngrabServer(x);
  XFlush(x);
  return claimed;
}

}  // namespace hushpad::linux
