#pragma once
// Plain values, safe on any thread. Points and rectangles in points, origin
// lower left, y upward (event locations are the one exception: their y runs
// downward from the top left of the main screen, see event_tap.h).
// The helpers follow the Core Graphics rectangle rules exactly, so that the
// same numbers give the same answers on every OS.

#include <limits>

namespace hushpad {

struct Point {
  double x = 0;
  double y = 0;
  friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend constexpr bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

constexpr Rect makeRect(double x, double y, double width, double height) {
  return Rect{{x, y}, {width, height}};
}

// A rectangle with a negative width or height made positive, its origin moved
// to the lower-left corner.
constexpr Rect standardized(Rect r) {
  if (r.size.width < 0) {
    r.origin.x += r.size.width;
    r.size.width = -r.size.width;
  }
  if (r.size.height < 0) {
    r.origin.y += r.size.height;
    r.size.height = -r.size.height;
  }
  return r;
}

constexpr double minX(const Rect& r) { return standardized(r).origin.x; }
constexpr double minY(const Rect& r) { return standardized(r).origin.y; }
constexpr double width(const Rect& r) { return standardized(r).size.width; }
constexpr double height(const Rect& r) { return standardized(r).size.height; }
constexpr double maxX(const Rect& r) {
  const Rect s = standardized(r);
  return s.origin.x + s.size.width;
}
constexpr double maxY(const Rect& r) {
  const Rect s = standardized(r);
  return s.origin.y + s.size.height;
}

// Minimum edges inside, maximum edges outside: an empty rectangle contains nothing.
constexpr bool containsPoint(const Rect& r, Point p) {
  return p.x >= minX(r) && p.x < maxX(r) && p.y >= minY(r) && p.y < maxY(r);
}

// The null rectangle: no place at all, so it contains no point.
inline constexpr Rect kNullRect{
    {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()}, {0, 0}};

constexpr bool isNull(const Rect& r) {
  return r.origin.x == kNullRect.origin.x || r.origin.y == kNullRect.origin.y;
}

// Shrinks by dx on the left and right and dy at the bottom and top; negative
// amounts grow it. A rectangle shrunk past nothing becomes the null rectangle,
// and the null rectangle stays null whatever the amounts.
constexpr Rect insetBy(const Rect& r, double dx, double dy) {
  if (isNull(r)) return kNullRect;
  Rect s = standardized(r);
  s.origin.x += dx;
  s.origin.y += dy;
  s.size.width -= 2 * dx;
  s.size.height -= 2 * dy;
  if (s.size.width < 0 || s.size.height < 0) return kNullRect;
  return s;
}

}  // namespace hushpad
