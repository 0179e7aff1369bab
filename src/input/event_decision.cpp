#include "input/event_decision.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace hushpad {
namespace {

constexpr std::uint64_t bitFor(EventType type) { return std::uint64_t{1} << type; }

constexpr std::uint64_t maskOf(std::initializer_list<EventType> types) {
  std::uint64_t mask = 0;
  for (EventType type : types) mask |= bitFor(type);
  return mask;
}

// Left, right and other mouse buttons (down, up, dragged) and the scroll wheel.
constexpr std::uint64_t kHitTestedMask = maskOf({1, 2, 3, 4, 6, 7, 22, 25, 26, 27});

Rect menuBarStrip(const Rect& screen) {
  return makeRect(minX(screen), maxY(screen) - kMenuBarStripHeight, width(screen),
                  kMenuBarStripHeight);
}

bool within(const Rect& inner, const Rect& outer) {
  return minX(inner) >= minX(outer) && maxX(inner) <= maxX(outer) && minY(inner) >= minY(outer) &&
         maxY(inner) <= maxY(outer);
}

// Overlap of some area, as Core Graphics' CGRectIntersectsRect sees it.
bool overlaps(const Rect& a, const Rect& b) {
  return !isNull(a) && !isNull(b) && minX(a) < maxX(b) && minX(b) < maxX(a) &&
         minY(a) < maxY(b) && minY(b) < maxY(a);
}

}  // namespace

BlockedEventTypes::BlockedEventTypes(std::initializer_list<EventType> types) {
  for (EventType type : types) {
    if (type < 64) {
      mask_ |= bitFor(type);
      continue;
    }
    const auto end = high_.begin() + static_cast<std::ptrdiff_t>(highCount_);
    const auto at = std::lower_bound(high_.begin(), end, type);
    if (at != end && *at == type) continue;
    if (highCount_ == high_.size()) {
      throw std::length_error("BlockedEventTypes holds at most 8 types of 64 and above");
    }
    std::move_backward(at, end, end + 1);
    *at = type;
    ++highCount_;
  }
}

bool BlockedEventTypes::contains(EventType type) const noexcept {
  if (type < 64) return (mask_ & bitFor(type)) != 0;
  const auto end = high_.begin() + static_cast<std::ptrdiff_t>(highCount_);
  return std::find(high_.begin(), end, type) != end;
}

std::size_t BlockedEventTypes::size() const noexcept {
  return static_cast<std::size_t>(std::popcount(mask_)) + highCount_;
}

std::uint64_t BlockedEventTypes::eventMask() const noexcept { return mask_; }

BlockedEventTypes defaultBlockedEventTypes() {
  return BlockedEventTypes{
      1,   // left mouse down
      2,   // left mouse up
      3,   // right mouse down
      4,   // right mouse up
      6,   // left mouse dragged
      7,   // right mouse dragged
      10,  // key down
      11,  // key up
      12,  // flags changed (modifier keys)
      14,  // system defined
      18,  // rotate
      19,  // begin gesture
      20,  // end gesture
      22,  // scroll wheel
      25,  // other mouse down
      26,  // other mouse up
      27,  // other mouse dragged
      29,  // gesture
      30,  // magnify
      31,  // swipe
      32,  // smart magnify
      34,  // pressure
      37,  // direct touch
      38,  // change mode
  };
}

bool isHitTestedEventType(EventType type) noexcept {
  return type < 64 && (kHitTestedMask & bitFor(type)) != 0;
}

// Event locations run down from the top left of the main screen, the first of
// the list, whatever screen they lie on; frames run up from its bottom left.
Point flippedLocation(Point p, std::span<const Rect> screens) noexcept {
  if (screens.empty()) return p;
  const Rect& main = screens.front();
  return {p.x, maxY(main) - (p.y - minY(main))};
}

bool statusButtonHit(Rect buttonScreenFrame, Point p, std::span<const Rect> screens) noexcept {
  const Rect hitArea = insetBy(buttonScreenFrame, -kStatusButtonHitMargin, -kStatusButtonHitMargin);
  return containsPoint(hitArea, p) || containsPoint(hitArea, flippedLocation(p, screens));
}

bool statusButtonReachable(Rect buttonScreenFrame, std::span<const Rect> screens,
                           std::span<const Rect> housings) noexcept {
  if (isNull(buttonScreenFrame)) return false;
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (!within(buttonScreenFrame, screens[i])) continue;
    return i >= housings.size() || !overlaps(buttonScreenFrame, housings[i]);
  }
  return false;
}

bool menuBarStripHit(Point p, std::span<const Rect> screens) noexcept {
  const Point flipped = flippedLocation(p, screens);
  return std::any_of(screens.begin(), screens.end(), [&](const Rect& screen) {
    const Rect strip = menuBarStrip(screen);
    return containsPoint(strip, p) || containsPoint(strip, flipped);
  });
}

}  // namespace hushpad
