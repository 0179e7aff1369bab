#include "input/event_decision.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace hushpad {
namespace {

constexpr std::uint64_t bitFor(EventType type) { return std::uint64_t{1} << type; }

constexpr EventType kLeftMouseUp = 2;
constexpr EventType kRightMouseUp = 4;

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

// How far p lies outside screen (0 inside), squared.
double distanceSquared(Point p, const Rect& screen) {
  const double dx = std::max({minX(screen) - p.x, 0.0, p.x - maxX(screen)});
  const double dy = std::max({minY(screen) - p.y, 0.0, p.y - maxY(screen)});
  return dx * dx + dy * dy;
}

// The screen that holds p, else the nearest one; the first of equals.
const Rect* nearestScreen(Point p, std::span<const Rect> screens) {
  const Rect* nearest = nullptr;
  double best = 0;
  for (const Rect& screen : screens) {
    if (containsPoint(screen, p)) return &screen;
    const double distance = distanceSquared(p, screen);
    if (nearest == nullptr || distance < best) {
      nearest = &screen;
      best = distance;
    }
  }
  return nearest;
}

// r moved the least distance that puts it inside screen (to its lower-left
// corner where r is the larger).
Rect movedInside(Rect r, const Rect& screen) {
  r = standardized(r);
  r.origin.x = std::max(minX(screen), std::min(r.origin.x, maxX(screen) - r.size.width));
  r.origin.y = std::max(minY(screen), std::min(r.origin.y, maxY(screen) - r.size.height));
  return r;
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

bool isUnlockingClickType(EventType type) noexcept {
  return type == kLeftMouseUp || type == kRightMouseUp;
}

// Event locations run down from the top left of the main screen, the first of
// the list, whatever screen they lie on; frames run up from its bottom left.
Point flippedLocation(Point p, std::span<const Rect> screens) noexcept {
  if (screens.empty()) return p;
  const Rect& main = screens.front();
  return {p.x, maxY(main) - (p.y - minY(main))};
}

// Every edge of the margin counts, so that it is the same on every side.
bool unlockTargetHit(Rect target, Point p) noexcept {
  if (isNull(target)) return false;
  return p.x >= minX(target) - kUnlockTargetMargin && p.x <= maxX(target) + kUnlockTargetMargin &&
         p.y >= minY(target) - kUnlockTargetMargin && p.y <= maxY(target) + kUnlockTargetMargin;
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
  return std::any_of(screens.begin(), screens.end(),
                     [&](const Rect& screen) { return containsPoint(menuBarStrip(screen), p); });
}

std::optional<Rect> unlockMarkPlace(std::optional<Rect> reachableButton,
                                    std::optional<Rect> buttonFrame,
                                    std::optional<Point> lockPoint,
                                    std::span<const Rect> screens) noexcept {
  if (reachableButton && (!lockPoint || unlockTargetHit(*reachableButton, *lockPoint))) {
    return reachableButton;
  }
  if (!lockPoint) return std::nullopt;
  const Rect* screen = nearestScreen(*lockPoint, screens);
  if (screen == nullptr) return std::nullopt;
  const double side =
      buttonFrame && !isNull(*buttonFrame)
          ? std::max(width(*buttonFrame), height(*buttonFrame))
          : kDefaultUnlockMarkSide;
  const Rect centred = makeRect(lockPoint->x - side / 2, lockPoint->y - side / 2, side, side);
  return movedInside(centred, *screen);
}

}  // namespace hushpad
