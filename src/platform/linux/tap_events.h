#pragma once
// Input events in the event tap's terms, from GDK's, the same on every display
// server.

#include <gdk/gdk.h>

#include <optional>

#include "platform/actions.h"
#include "platform/event_tap.h"

namespace hushpad::linux {

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

// Key events carry no location of their own.
bool isKeyboardEvent(EventType type);

// The mouse-up type of a release of an X button (1 left, 3 right).
MouseEventType mouseUpType(guint button);

}  // namespace hushpad::linux
