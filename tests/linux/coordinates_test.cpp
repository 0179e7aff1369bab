#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/screens.h"

namespace hushpad::linux {
namespace {

// GDK places monitors from the top left of the X screen, y downward; the
// program's screens run up from the primary monitor's bottom left, its event
// locations down from the primary's top left.
TEST(Coordinates, AreMeasuredFromThePrimaryMonitor) {
  struct Conversion {
    const char* what;
    PixelRect monitor, primary;
    Rect screen;
    Point topLeft;  // the monitor's top-left pixel as an event location
  };
  constexpr PixelRect kPrimary{0, 0, 1920, 1080};
  constexpr PixelRect kRight{1280, 0, 1920, 1080};
  constexpr PixelRect kLowRight{1280, 1024, 1920, 1080};
  constexpr PixelRect kSmall{0, 0, 1280, 1024};
  const std::vector<Conversion> cases{
      {"primary", kPrimary, kPrimary, makeRect(0, 0, 1920, 1080), {0, 0}},
      {"right", {1920, 0, 1280, 1024}, kPrimary, makeRect(1920, 56, 1280, 1024), {1920, 0}},
      {"above", {0, -1080, 1920, 1080}, kPrimary, makeRect(0, 1080, 1920, 1080), {0, -1080}},
      {"below", {0, 1080, 1920, 1080}, kPrimary, makeRect(0, -1080, 1920, 1080), {0, 1080}},
      {"left", kSmall, kRight, makeRect(-1280, 56, 1280, 1024), {-1280, 0}},
      {"above left", kSmall, kLowRight, makeRect(-1280, 1080, 1280, 1024), {-1280, -1024}},
      {"tray icon", {1890, 1, 24, 22}, kPrimary, makeRect(1890, 1057, 24, 22), {1890, 1}},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(toScreenRect(c.monitor, c.primary), c.screen);
    EXPECT_EQ(toEventLocation(c.monitor.x, c.monitor.y, c.primary),
              (Point{c.topLeft.x + 0.5, c.topLeft.y + 0.5}));
    EXPECT_EQ(toPixelRect(c.screen, c.primary).y, c.monitor.y);
  }
}

// A pointer position names a pixel: its centre is the location, so that the
// 12 px around a rectangle are 12 px on every side, in logical pixels at any
// scale. The screen point is the same place, y upward.
TEST(Coordinates, APointerPixelIsTakenAtItsCentre) {
  constexpr PixelRect kPrimary{0, 0, 1024, 768};
  EXPECT_EQ(toEventLocation(987, 1, kPrimary), (Point{987.5, 1.5}));
  EXPECT_EQ(toEventLocation(987.9, 1.2, kPrimary), (Point{987.5, 1.5}));
  EXPECT_EQ(toEventLocation(493.5, 0, kPrimary, 2), (Point{493.75, 0.25}));
  EXPECT_EQ(toScreenPoint(987, 1, kPrimary), (Point{987.5, 766.5}));
  EXPECT_EQ(toScreenPoint(100, 50, {1024, 100, 800, 600}, 1), (Point{-923.5, 649.5}));
}

}  // namespace
}  // namespace hushpad::linux
