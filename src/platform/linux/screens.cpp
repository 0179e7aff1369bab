#include "platform/linux/screens.h"

#include <algorithm>
#include <cmath>

namespace hushpad::linux {

Rect toScreenRect(const PixelRect& rect, const PixelRect& primary) {
  const double primaryBottom = primary.y + primary.height;
  return makeRect(rect.x - primary.x, primaryBottom - (rect.y + rect.height), rect.width,
                  rect.height);
}

PixelRect toPixelRect(const Rect& screenRect, const PixelRect& primary) {
  return PixelRect{minX(screenRect) + primary.x, primary.y + primary.height - maxY(screenRect),
                   width(screenRect), height(screenRect)};
}

namespace {

double pixelCentre(double logical, int scale) {
  const double perPixel = scale > 0 ? scale : 1;
  return (std::floor(logical * perPixel) + 0.5) / perPixel;
}

}  // namespace

Point toEventLocation(double rootX, double rootY, const PixelRect& primary, int scale) {
  return Point{pixelCentre(rootX, scale) - primary.x, pixelCentre(rootY, scale) - primary.y};
}

Point toScreenPoint(double rootX, double rootY, const PixelRect& primary, int scale) {
  const Point location = toEventLocation(rootX, rootY, primary, scale);
  return Point{location.x, primary.height - location.y};
}

PixelRect toPixelRect(const GdkRectangle& rect) {
  return PixelRect{static_cast<double>(rect.x), static_cast<double>(rect.y),
                   static_cast<double>(rect.width), static_cast<double>(rect.height)};
}

namespace {

PixelRect monitorGeometry(GdkMonitor* monitor) {
  GdkRectangle geometry;
  gdk_monitor_get_geometry(monitor, &geometry);
  return toPixelRect(geometry);
}

}  // namespace

MonitorScreens::MonitorScreens(GdkDisplay* display) : display_(display) {
  g_signal_connect_swapped(display_, "monitor-added", G_CALLBACK(monitorsChanged), this);
  g_signal_connect_swapped(display_, "monitor-removed", G_CALLBACK(monitorsChanged), this);
  // Only the screen says when another monitor becomes the primary one.
  g_signal_connect_swapped(gdk_display_get_default_screen(display_), "monitors-changed",
                           G_CALLBACK(monitorsChanged), this);
  refresh();
}

MonitorScreens::~MonitorScreens() {
  g_signal_handlers_disconnect_by_data(display_, this);
  g_signal_handlers_disconnect_by_data(gdk_display_get_default_screen(display_), this);
}

void MonitorScreens::monitorsChanged(MonitorScreens* self) {
  self->refresh();
  if (self->changed_) self->changed_();
}

void MonitorScreens::refresh() {
  GdkMonitor* primary = gdk_display_get_primary_monitor(display_);
  const int total = gdk_display_get_n_monitors(display_);
  if (primary == nullptr && total > 0) primary = gdk_display_get_monitor(display_, 0);
  count_ = 0;
  if (primary != nullptr) monitors_[count_++] = primary;
  for (int i = 0; i < total && count_ < monitors_.size(); ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display_, i);
    if (monitor != primary) monitors_[count_++] = monitor;
  }
}

std::size_t MonitorScreens::copyFrames(std::span<Rect> out) const {
  const PixelRect primary = primaryGeometry();
  const std::size_t copied = std::min(out.size(), count_);
  for (std::size_t i = 0; i < copied; ++i) {
    out[i] = toScreenRect(monitorGeometry(monitors_[i]), primary);
  }
  return count_;
}

std::optional<Point> MonitorScreens::pointerLocation() const {
  GdkSeat* seat = gdk_display_get_default_seat(display_);
  GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  if (pointer == nullptr) return std::nullopt;
  double x = 0;
  double y = 0;
  gdk_device_get_position_double(pointer, nullptr, &x, &y);
  return toScreenPoint(x, y, primaryGeometry(), scaleFactor());
}

int MonitorScreens::scaleFactor() const {
  return count_ > 0 ? gdk_monitor_get_scale_factor(monitors_[0]) : 1;
}

PixelRect MonitorScreens::primaryGeometry() const {
  return count_ > 0 ? monitorGeometry(monitors_[0]) : PixelRect{};
}

}  // namespace hushpad::linux
