#pragma once
// The event tap of X11: while enabled, an active grab of the keyboard and every
// pointing device on one override-redirect input window, so that all input
// reaches this program first. Events that the tap's client lets through have
// nowhere else to go under a grab; a button release let through is therefore
// handed to the status item as a click.

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/actions.h"
#include "platform/event_tap.h"
#include "platform/linux/screens.h"

namespace hushpad {

// One input event in the tap's terms: the Core Graphics type number, the
// location in GDK's global coordinates, and for a button release its mouse-up
// type.
struct TapEvent {
  EventType type = 0;
  double rootX = 0;
  double rootY = 0;
  std::optional<MouseEventType> release;
};

// Nothing for events the tap does not report (pointer motion with no button
// held, double-click summaries, crossing and focus events, ...).
std::optional<TapEvent> translateTapEvent(const GdkEvent& event);

// The mouse-up type of a release of an X button (1 left, 3 right).
MouseEventType mouseUpType(guint button);

// Whether this session lets an X11 grab hold all of the user's input.
bool isWaylandSession(const char* xdgSessionType, const char* waylandDisplay);

// Receives a button release that the client let through, with its place in
// GDK's global coordinates.
using ReleaseHandler = std::function<void(MouseEventType type, double rootX, double rootY)>;

class GrabEventTap final : public EventTap {
 public:
  GrabEventTap(EventTapClient& client, const MonitorScreens& screens, ReleaseHandler releases);
  ~GrabEventTap() override;
  GrabEventTap(const GrabEventTap&) = delete;
  GrabEventTap& operator=(const GrabEventTap&) = delete;

  bool setEnabled(bool enabled) override;

 private:
  static void dispatchEvent(GdkEvent* event, gpointer self);
  void handleEvent(const GdkEvent& event);
  void grabBroken();

  EventTapClient& client_;
  const MonitorScreens& screens_;
  ReleaseHandler releases_;
  GdkWindow* window_;
  bool grabbed_ = false;
  Point lastLocation_;
};

class GrabEventTapFactory final : public EventTapFactory {
 public:
  // releases receives the releases let through while the input is held.
  GrabEventTapFactory(const MonitorScreens& screens, ReleaseHandler releases, bool waylandSession);

  // Nothing in a Wayland session, where a grab would hold only the programs
  // that run through XWayland. The mask is not needed: a grab takes all input.
  std::unique_ptr<EventTap> createTap(std::uint64_t mask, EventTapClient& client) override;

 private:
  const MonitorScreens& screens_;
  ReleaseHandler releases_;
  bool waylandSession_;
};

}  // namespace hushpad
