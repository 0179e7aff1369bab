#pragma once
// The monitors of the display (X11 or Wayland), and the change of coordinates between GDK
// (origin at the top left of the X screen, y downward) and the program's own:
// screen rectangles with y upward from the bottom of the primary monitor, event
// locations with y downward from its top, both with x from its left edge.
// Main thread only; the entry point owns the screen list.

#include <gdk/gdk.h>

#include <array>
#include <cstddef>
#include <functional>
#include <span>

#include "platform/geometry.h"
#include "platform/screens.h"

namespace hushpad::linux {

// A rectangle in GDK's global coordinates.
struct PixelRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

Rect toScreenRect(const PixelRect& rect, const PixelRect& primary);
PixelRect toPixelRect(const Rect& screenRect, const PixelRect& primary);
// A pointer position names a pixel (of 1/scale logical pixels at a scale
// factor): the location is that pixel's centre, so that a margin around a
// rectangle is the same on every side.
Point toEventLocation(double rootX, double rootY, const PixelRect& primary, int scale = 1);
// The same pixel centre in screen coordinates (y upward).
Point toScreenPoint(double rootX, double rootY, const PixelRect& primary, int scale = 1);
PixelRect toPixelRect(const GdkRectangle& rect);

// The display's monitors, primary first. The list is kept up to date from the
// display's signals, so reading it never allocates.
class MonitorScreens final : public Screens {
 public:
  explicit MonitorScreens(GdkDisplay* display);
  ~MonitorScreens() override;
  MonitorScreens(const MonitorScreens&) = delete;
  MonitorScreens& operator=(const MonitorScreens&) = delete;

  std::size_t copyFrames(std::span<Rect> out) const override;
  void setChangeHandler(std::function<void()> changed) override { changed_ = std::move(changed); }
  // The pointer of the display's default seat.
  std::optional<Point> pointerLocation() const override;
  // The primary monitor's geometry; all zero when there is no monitor.
  PixelRect primaryGeometry() const;
  // Logical pixels per device pixel: GDK's scale factor.
  int scaleFactor() const;

 private:
  static void monitorsChanged(MonitorScreens* self);
  void refresh();

  GdkDisplay* display_;
  std::array<GdkMonitor*, kMaxScreens> monitors_{};  // primary first
  std::size_t count_ = 0;
  std::function<void()> changed_;
};

}  // namespace hushpad::linux
