#include "platform/linux/x11/instance.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "platform/linux/processes.h"

namespace hushpad::linux {
namespace {

// How long a claim left by a process that has ended may take to go: the X
// server drops it once it has seen the connection close, which can come after
// a fresh Hushpad started in its place (by the stall watchdog) connects.
constexpr gint64 kEndedClaimDeadlineUs = 3 * G_USEC_PER_SEC;

// The process that holds the claim, as its window says (_NET_WM_PID).
std::optional<long> claimantPid(Display* x, Window owner) {
  const Atom pidAtom = XInternAtom(x, "_NET_WM_PID", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long left = 0;
  unsigned char* data = nullptr;
  std::optional<long> pid;
  if (XGetWindowProperty(x, owner, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                         &left, &data) == Success &&
      type == XA_CARDINAL && format == 32 && items == 1) {
    pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
  }
  if (data != nullptr) XFree(data);
  return pid;
}

// nullopt while another process's claim is there; otherwise whether this one took.
std::optional<bool> tryToClaim(Display* x, Atom selection, std::optional<long>& claimant) {
  // Under the server grab no other Hushpad can claim it between the look and the claim.
  XGrabServer(x);
  std::optional<bool> claimed;
  if (const Window holder = XGetSelectionOwner(x, selection); holder == None) {
    const Window owner = XCreateSimpleWindow(x, DefaultRootWindow(x), -1, -1, 1, 1, 0, 0, 0);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(x, owner, XInternAtom(x, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XSetSelectionOwner(x, selection, owner, CurrentTime);
    claimed = XGetSelectionOwner(x, selection) == owner;
  } else {
    claimant = claimantPid(x, holder);
  }
  XUngrabServer(x);
  XFlush(x);
  return claimed;
}

}  // namespace

bool claimDisplay(GdkDisplay* display) {
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  const Atom selection = XInternAtom(x, "_HUSHPAD_INSTANCE", False);
  const gint64 deadline = g_get_monotonic_time() + kEndedClaimDeadlineUs;
  for (;;) {
    std::optional<long> claimant;
    if (const std::optional<bool> claimed = tryToClaim(x, selection, claimant)) return *claimed;
    // A live Hushpad (or one on another machine) keeps it: this one leaves.
    if (!claimant || !processEnded(*claimant) || g_get_monotonic_time() > deadline) return false;
    g_usleep(50 * 1000);
  }
}

}  // namespace hushpad::linux
