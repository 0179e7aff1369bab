#pragma once
// What the event tap swallows while locked, which clicks unlock, and where
// the unlock mark goes.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
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
// Left and right mouse-ups: the only events that can unlock.
bool isUnlockingClickType(EventType type) noexcept;

inline constexpr double kUnlockTargetMargin = 12;
inline constexpr double kMenuBarStripHeight = 36;
// The unlock mark's side where there is no status button to size it by.
inline constexpr double kDefaultUnlockMarkSide = 24;

// An event location (y downward from the top left of the main screen, the
// first) in the screens' y-upward coordinates; p itself when there are no screens.
Point flippedLocation(Point p, std::span<const Rect> screens) noexcept;
// Whether a point (screen coordinates) lies on target or within
// kUnlockTargetMargin of it, edges included.
bool unlockTargetHit(Rect target, Point p) noexcept;
// Whether a point (screen coordinates) lies in the top kMenuBarStripHeight of a screen.
bool menuBarStripHit(Point p, std::span<const Rect> screens) noexcept;
// Whether a button at buttonScreenFrame can be clicked: it lies wholly within
// one screen and clear of that screen's camera housing (housings[i] belongs to
// screens[i]; missing or null ones are none).
bool statusButtonReachable(Rect buttonScreenFrame, std::span<const Rect> screens,
                           std::span<const Rect> housings) noexcept;

// Where the unlock mark goes at a lock. Over the button, when it is reachable
// and within kUnlockTargetMargin of the lock point (or there is no lock point);
// otherwise a square of the button's size (kDefaultUnlockMarkSide without
// one) centred on the lock point, moved just inside the screen that holds it
// (the nearest screen when none does). Nothing when there is neither a
// reachable button nor a lock point and a screen. All in screen coordinates.
std::optional<Rect> unlockMarkPlace(std::optional<Rect> reachableButton,
                                    std::optional<Rect> buttonFrame,
                                    std::optional<Point> lockPoint,
                                    std::span<const Rect> screens) noexcept;

}  // namespace hushpad
