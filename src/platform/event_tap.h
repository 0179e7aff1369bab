#pragma once
// A session-wide input filter that sees input events before any application.

#include <cstdint>
#include <memory>

#include "geometry.h"

namespace hushpad {

// Event type numbers are the Core Graphics ones (kCGEventKeyDown is 10, ...);
// every OS layer translates its own events into them.
using EventType = std::uint32_t;
inline constexpr EventType kEventTapDisabledByTimeout = 0xFFFFFFFEu;
inline constexpr EventType kEventTapDisabledByUserInput = 0xFFFFFFFFu;

enum class TapVerdict { Pass, Swallow };

// What receives the tap's events. Called on the main thread for every event of
// the tap's mask while it is enabled, and for the disabled notifications.
// The location is in global display coordinates: origin at the top left of the
// main screen, y downward.
class EventTapClient {
 public:
  virtual ~EventTapClient() = default;
  virtual TapVerdict eventTapCallback(EventType type, Point location) noexcept = 0;
};

// An installed tap. Created disabled; it stays installed until destroyed.
class EventTap {
 public:
  virtual ~EventTap() = default;
  // Returns whether the tap is in the requested state afterwards.
  virtual bool setEnabled(bool enabled) = 0;
};

class EventTapFactory {
 public:
  virtual ~EventTapFactory() = default;
  // Installs a disabled tap for the event types whose bits are set in mask
  // (bit n for type n) on the main run loop. Nothing when the system refuses.
  // The client must outlive the tap.
  virtual std::unique_ptr<EventTap> createTap(std::uint64_t mask, EventTapClient& client) = 0;
};

}  // namespace hushpad
