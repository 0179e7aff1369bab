#pragma once
// What the event tap swallows while locked, and where clicks still pass.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "platform/event_tap.h"
#include "platform/geometry.h"
#include "platform/screens.h"

namespace hushpad {

// A set of event type numbers. Lookups do not allocate.
class BlockedEventTypes {
 public:
  BlockedEventTypes() = default;
  BlockedEventTypes(std::initializer_list<EventType> types);
  bool contains(EventType type) const noexcept;
  std::size_t size() const noexcept;
  // Bit n set for each member n below 64.
  std::uint64_t eventMask() const noexcept;
  friend bool operator==(const BlockedEventTypes&, const BlockedEventTypes&) = default;

 private:
  std::uint64_t mask_ = 0;           // members below 64
  std::array<EventType, 8> high_{};  // members of 64 and above (none in practice)
  std::size_t highCount_ = 0;
};

// The 24 keyboard, mouse-button, scroll, system-defined and gesture types.
BlockedEventTypes defaultBlockedEventTypes();
// Mouse-button, drag and scroll types, whose location is tested.
bool isHitTestedEventType(EventType type) noexcept;

inline constexpr double kStatusButtonHitMargin = 12;
inline constexpr double kMenuBarStripHeight = 36;

// The event location seen in the screens' y-upward coordinates: mirrored
// through the main screen (the first); p itself when there are no screens.
Point flippedLocation(Point p, std::span<const Rect> screens) noexcept;
bool statusButtonHit(Rect buttonScreenFrame, Point p, std::span<const Rect> screens) noexcept;
bool menuBarStripHit(Point p, std::span<const Rect> screens) noexcept;
// Whether a button at buttonScreenFrame can be clicked: it lies wholly within
// one screen and clear of that screen's camera housing (housings[i] belongs to
// screens[i]; missing or null ones are none).
bool statusButtonReachable(Rect buttonScreenFrame, std::span<const Rect> screens,
                           std::span<const Rect> housings) noexcept;

}  // namespace hushpad
