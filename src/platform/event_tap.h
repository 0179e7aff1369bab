#pragma once
// A session-wide input filter that sees input events before any application.
// Main thread only: taps are made, switched and destroyed there, and their
// client is called there. The creator owns the tap it is handed.

#include <cstdint>
#include <memory>

#include "geometry.h"

namespace hushpad {

// Event type numbers are the Core Graphics ones (kCGEventKeyDown is 10, ...);
// every OS layer translates its own events into them.
using EventType = std::uint32_t;
inline constexpr EventType kEventTapDisabledByTimeout = 0xFFFFFFFEu;
inline constexpr EventType kEventTapDisabledByUserInput = 0xFFFFFFFFu;

// Pass hands the event on as usual. Unlock is a left or right mouse-up on an
// unlock target: the OS swallows it and sends the status item's action, on
// the main loop, as that click on the item would have.
enum class TapVerdict { Swallow, Pass, Unlock };

// Why the system refused a tap.
enum class TapRefusal {
  Privacy,              // the system's privacy rules (a privilege is missing)
  InputHeldElsewhere,   // another program holds the keyboard or the pointer
  SessionCannotBeHeld,  // no program can hold this session's input
};

// What receives the tap's events. Called on the main thread for every event of
// the tap's mask while it is enabled, and for the disabled notifications.
// The location is in global display coordinates: origin at the top left of the
// main screen, y downward.
class EventTapClient {
 public:
  virtual ~EventTapClient() = default;
  virtual TapVerdict eventTapCallback(EventType type, Point location) noexcept = 0;
  // Whether an unlocking click delivered later (from a queue) still has a
  // lock to undo: one that came after the lock ended would lock again.
  virtual bool acceptsUnlockClicks() const noexcept { return true; }
};

// An installed tap. Created disabled; it stays installed until destroyed.
class EventTap {
 public:
  virtual ~EventTap() = default;
  // Returns whether the tap is in the requested state afterwards.
  [[nodiscard]] virtual bool setEnabled(bool enabled) = 0;
};

// A new tap, or why there is none.
struct TapCreation {
  std::unique_ptr<EventTap> tap;
  TapRefusal refusal = TapRefusal::Privacy;  // when tap is null
  // The event types the system lets the new tap see (bit n for type n), which
  // may be fewer than were asked for.
  std::uint64_t eventsOfInterest = ~std::uint64_t{0};
};

class EventTapFactory {
 public:
  virtual ~EventTapFactory() = default;
  // Installs a disabled tap for the event types whose bits are set in mask
  // (bit n for type n) on the main run loop. The client must outlive the tap.
  [[nodiscard]] virtual TapCreation createTap(std::uint64_t mask, EventTapClient& client) = 0;
};

}  // namespace hushpad
