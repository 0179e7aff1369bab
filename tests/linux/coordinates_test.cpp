#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "input/event_decision.h"
#include "platform/linux/screens.h"

namespace hushpad {
namespace {

struct Conversion {
  const char* name;
  PixelRect rect;
  PixelRect primary;
  Rect expected;
};

class ScreenRectTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(ScreenRectTest, IsMeasuredUpFromThePrimaryMonitorsBottomLeft) {
  EXPECT_EQ(toScreenRect(GetParam().rect, GetParam().primary), GetParam().expected);
}

constexpr PixelRect kPrimary{0, 0, 1920, 1080};
constexpr PixelRect kPrimaryRightOfAnother{1280, 0, 1920, 1080};

INSTANTIATE_TEST_SUITE_P(
    Monitors, ScreenRectTest,
    ::testing::Values(
        Conversion{"primary", kPrimary, kPrimary, makeRect(0, 0, 1920, 1080)},
        Conversion{"right", {1920, 0, 1280, 1024}, kPrimary, makeRect(1920, 56, 1280, 1024)},
        Conversion{"above", {0, -1080, 1920, 1080}, kPrimary, makeRect(0, 1080, 1920, 1080)},
        Conversion{"below", {0, 1080, 1920, 1080}, kPrimary, makeRect(0, -1080, 1920, 1080)},
        Conversion{"offset primary", kPrimaryRightOfAnother, kPrimaryRightOfAnother,
                   makeRect(0, 0, 1920, 1080)},
        Conversion{"left of offset primary",
                   {0, 0, 1280, 1024},
                   kPrimaryRightOfAnother,
                   makeRect(-1280, 56, 1280, 1024)},
        Conversion{"tray icon", {1890, 1, 24, 22}, kPrimary, makeRect(1890, 1057, 24, 22)}),
    [](const auto& info) {
      std::string name = info.param.name;
      std::ranges::replace(name, ' ', '_');
      return name;
    });

TEST(EventLocation, RunsDownFromThePrimaryMonitorsTopLeft) {
  EXPECT_EQ(toEventLocation(1900, 12, kPrimary), (Point{1900, 12}));
  EXPECT_EQ(toEventLocation(1290.5, 12, kPrimaryRightOfAnother), (Point{10.5, 12}));
  EXPECT_EQ(toEventLocation(10, 1100, kPrimary), (Point{10, 1100}));
}

// The lock's own hit test, fed with what X reports: an icon of the tray at the
// top of an 800 x 600 screen, and clicks beside it.
class IconZoneTest : public ::testing::Test {
 protected:
  static constexpr PixelRect kScreen{0, 0, 800, 600};
  static constexpr PixelRect kIcon{700, 1, 24, 22};

  static bool passes(double rootX, double rootY) {
    const std::array screens{toScreenRect(kScreen, kScreen)};
    return statusButtonHit(toScreenRect(kIcon, kScreen), toEventLocation(rootX, rootY, kScreen),
                           screens);
  }
};

TEST_F(IconZoneTest, ClicksUpTo12PixelsBesideTheIconPass) {
  EXPECT_TRUE(passes(712, 12));
  EXPECT_TRUE(passes(700 - 12, 12));
  EXPECT_FALSE(passes(700 - 13, 12));
  EXPECT_TRUE(passes(700 + 24 + 11, 12));
  EXPECT_FALSE(passes(700 + 24 + 12, 12));
  EXPECT_TRUE(passes(712, 1 + 22 + 11));
}

TEST_F(IconZoneTest, ClicksElsewhereOnTheScreenAreHeld) {
  EXPECT_FALSE(passes(400, 300));
  EXPECT_FALSE(passes(712, 300));
  EXPECT_FALSE(passes(10, 12));
}

}  // namespace
}  // namespace hushpad
