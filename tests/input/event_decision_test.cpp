// Which events the tap swallows while locked, the location tests that let
// clicks on the status item through, and the rectangle rules beneath them.
// Event locations are given as the tap delivers them: y runs down from the top
// of the main screen.

#include "input/event_decision.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;

const std::vector<Rect> kMain{kMainScreen};
const std::vector<Rect> kMainAndRight = screensSideBySide(2);
const std::vector<Rect> kMainAndAbove{kMainScreen,
                                      makeRect(0, kScreenHeight, kScreenWidth, kScreenHeight)};

// The default set is the 24 types of its mask; types of 64 and above are members
// outside the mask, eight at most.
TEST(BlockedEventTypes, HoldTheirTypesAndMask) {
  const BlockedEventTypes defaults = defaultBlockedEventTypes();
  EXPECT_EQ(defaults.size(), 24u);
  EXPECT_EQ(defaults.eventMask(), 0x65EE5C5CDEu);
  for (EventType type = 0; type < 64; ++type) {
    EXPECT_EQ(defaults.contains(type), ((0x65EE5C5CDEu >> type) & 1) != 0) << type;
  }
  const BlockedEventTypes types{3, 64, 4000000000u, 64, 3};
  EXPECT_EQ(types.size(), 3u);
  EXPECT_EQ(types.eventMask(), 1u << 3);
  EXPECT_TRUE(types.contains(4000000000u) && !types.contains(65));
  EXPECT_EQ(types, (BlockedEventTypes{4000000000u, 3, 64}));
  EXPECT_THROW((BlockedEventTypes{64, 65, 66, 67, 68, 69, 70, 71, 72}), std::length_error);
}

bool buttonHit(Point p, std::span<const Rect> screens) {
  return statusButtonHit(kButtonFrame, p, screens);
}

// On these screens one location passes the hit test, a nearby one does not.
struct Boundary {
  bool (*hit)(Point, std::span<const Rect>);
  std::vector<Rect> screens;
  Point passes;
  Point stops;
};

// Within 12 points of the button, or in the top 36 points of a screen, or
// where either lies once the location is mirrored within its screen.
TEST(HitTests, PassNearTheButtonOrInAMenuBarStripOrTheirMirrors) {
  const std::vector<Boundary> cases{
      {buttonHit, kMain, {988, 12}, {987, 12}},                                    // 12, 13 left
      {buttonHit, kMain, {1035.5, 12}, {1036, 12}},                                // open edge
      {buttonHit, kMain, {1012, 36}, {1012, 37}},                                  // below
      {buttonHit, kMain, {1012, -11.5}, {1012, -12}},  // above the top: within 12 of it
      {buttonHit, kMain, {1012, kScreenHeight - 36}, {1012, kScreenHeight - 37}},  // the mirror
      {buttonHit, {}, {1012, 880}, {1012, 12}},  // no screens: only the delivered point
      {menuBarStripHit, kMain, {100, 36}, {100, 36.5}},
      {menuBarStripHit, kMain, {100, 0.5}, {100, 0}},
      {menuBarStripHit, kMain, {100, kScreenHeight - 36}, {100, 450}},
      {menuBarStripHit, kMainAndRight, {1500, 10}, {1500, 37}},
      {menuBarStripHit, kMainAndRight, {kScreenWidth, 36}, {2800, 863}},
      {menuBarStripHit, kMainAndAbove, {100, -890}, {100, -863}},  // the upper screen's strip
  };
  for (const Boundary& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    EXPECT_TRUE(c.hit(c.passes, c.screens));
    EXPECT_FALSE(c.hit(c.stops, c.screens));
  }
  EXPECT_FALSE(menuBarStripHit({100, 10}, {}));
}

// Layouts of screens of other sizes and places: a click on a button at the top
// of each screen passes, and so does a click in each screen's menu-bar strip
// with no button; a click in the middle of the screen is swallowed. Locations
// are as delivered: y runs down from the top of the main screen (0, 0, 1440, 900).
TEST(HitTests, WorkOnEveryScreenOfAnyLayout) {
  struct Display {
    Rect frame;
    Point onButton;  // on the button at frame's top, 1000 points in from its left edge
    Point inStrip;   // 10 points below frame's top
    Point middle;
  };
  const Display rightBottoms{makeRect(1440, 0, 1920, 1080), {2452, -168}, {2000, -170}, {2400, 360}};
  const Display rightTops{makeRect(1440, -180, 1920, 1080), {2452, 12}, {2000, 10}, {2400, 540}};
  const Display above{makeRect(0, 900, 1440, 900), {1012, -888}, {100, -890}, {700, -450}};
  const Display below{makeRect(0, -900, 1440, 900), {1012, 912}, {100, 910}, {700, 1350}};
  const Display leftTaller{makeRect(-1920, -100, 1920, 1200), {-908, -188}, {-1500, -190}, {-960, 400}};
  const Display main{kMainScreen, {1012, 12}, {100, 10}, {700, 450}};
  const std::vector<std::vector<Display>> layouts{
      {main, rightBottoms}, {main, rightTops}, {main, above}, {main, below}, {main, leftTaller},
      {main, rightTops, leftTaller}};
  for (const std::vector<Display>& layout : layouts) {
    std::vector<Rect> screens;
    for (const Display& display : layout) screens.push_back(display.frame);
    for (const Display& display : layout) {
      SCOPED_TRACE(::testing::Message() << "screens " << layout.size() << ", display at "
                                        << minX(display.frame) << "," << minY(display.frame));
      const Rect button = makeRect(minX(display.frame) + 1000, maxY(display.frame) - 24, 24, 24);
      EXPECT_TRUE(statusButtonHit(button, display.onButton, screens));
      EXPECT_FALSE(statusButtonHit(button, display.middle, screens));
      EXPECT_TRUE(menuBarStripHit(display.inStrip, screens));
      EXPECT_FALSE(menuBarStripHit(display.middle, screens));
    }
  }
}

// A button can be clicked when it lies wholly within one screen and clear of
// that screen's camera housing.
TEST(HitTests, ButtonIsReachableOnAScreenAndClearOfItsCameraHousing) {
  const std::vector<Rect> two = screensSideBySide(2);
  const Rect notch = makeRect(640, 868, 160, 32);  // the main screen's housing
  const std::vector<Rect> housings{notch, kNullRect};
  struct Case {
    Rect button;
    bool reachable;
  };
  const std::vector<Case> cases{
      {kButtonFrame, true},
      {makeRect(616, 876, 24, 24), true},    // just left of the housing
      {makeRect(800, 876, 24, 24), true},    // just right of it
      {makeRect(620, 876, 24, 24), false},   // under its left edge
      {makeRect(700, 876, 24, 24), false},   // under it
      {makeRect(2140, 876, 24, 24), true},   // the same place on the screen without one
      {makeRect(-24, 876, 24, 24), false},   // pushed off the left of the screens
      {makeRect(2870, 876, 24, 24), false},  // half off the right
      {makeRect(1430, 876, 24, 24), false},  // astride two screens
      {makeRect(1000, 890, 24, 24), false},  // above the top
      {kNullRect, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(minX(c.button));
    EXPECT_EQ(statusButtonReachable(c.button, two, housings), c.reachable);
  }
  EXPECT_TRUE(statusButtonReachable(makeRect(700, 876, 24, 24), two, {}));  // no housings
  EXPECT_FALSE(statusButtonReachable(kButtonFrame, {}, {}));                // no screens
}

// The rectangle rules of Core Graphics: negative sizes standardised, minimum
// edges inside and maximum edges outside, insets of the standard form, and a
// null rectangle that stays null and contains nothing.
TEST(Geometry, FollowsCoreGraphics) {
  const Rect negative = makeRect(10, 20, -4, -6);
  EXPECT_EQ(standardized(negative), makeRect(6, 14, 4, 6));
  EXPECT_EQ((Point{maxX(negative), maxY(negative)}), (Point{10, 20}));
  EXPECT_TRUE(containsPoint(negative, {6, 14}));
  EXPECT_FALSE(containsPoint(negative, {10, 19}) || containsPoint(negative, {9, 20}));
  EXPECT_FALSE(containsPoint(makeRect(5, 5, 0, 10), {5, 5}));
  EXPECT_EQ(insetBy(makeRect(24, 24, -24, -24), 2, 3), makeRect(2, 3, 20, 18));
  EXPECT_EQ(insetBy(makeRect(0, 0, 10, 10), 5, 5), makeRect(5, 5, 0, 0));
  const Rect shrunk = insetBy(makeRect(0, 0, 10, 10), 6, 1);
  EXPECT_TRUE(isNull(shrunk) && !containsPoint(shrunk, {3, 3}));
  const Rect grown = insetBy(kNullRect, -12, -12);
  EXPECT_TRUE(isNull(grown) && !containsPoint(grown, {1e308, 1e308}));
}

}  // namespace
}  // namespace hushpad
