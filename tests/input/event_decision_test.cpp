// The location tests that let clicks on the status item through while
// locked. Event locations are given as the tap delivers them: y runs down from the top
// of the main screen.

#include "input/event_decision.h"

#include <gtest/gtest.h>

#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;

const std::vector<Rect> kMain{kMainScreen};
const std::vector<Rect> kMainAndRight = screensSideBySide(2);
const std::vector<Rect> kMainAndAbove{kMainScreen,
                                      makeRect(0, kScreenHeight, kScreenWidth, kScreenHeight)};

bool buttonHit(Point p, std::span<const Rect> screens) {
  return statusButtonHit(kButtonFrame, p, screens);
}

// On these screens one location passes the hit test, a nearby one does not.
struct Boundary {
  bool (*hit)(Point, std::span<const Rect>);
  std::vector<Rect> screens;
  Point passes, stops;
};

// Within 12 points of the button, or in the top 36 points of a screen, or
// where either lies once the location is mirrored within its screen.
TEST(HitTests, PassNearTheButtonOrInAMenuBarStripOrTheirMirrors) {
  const std::vector<Boundary> cases{
      {buttonHit, kMain, {988, 12}, {987, 12}},        // 12, 13 left
      {buttonHit, kMain, {1035.5, 12}, {1036, 12}},    // open edge
      {buttonHit, kMain, {1012, 36}, {1012, 37}},      // below
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
    Point onButton, inStrip, middle;  // on a button at its top 1000 points in; 10 below its top
  };
  const Display rightLow{makeRect(1440, 0, 1920, 1080), {2452, -168}, {2000, -170}, {2400, 360}};
  const Display rightTops{makeRect(1440, -180, 1920, 1080), {2452, 12}, {2000, 10}, {2400, 540}};
  const Display above{makeRect(0, 900, 1440, 900), {1012, -888}, {100, -890}, {700, -450}};
  const Display below{makeRect(0, -900, 1440, 900), {1012, 912}, {100, 910}, {700, 1350}};
  const Display left{makeRect(-1920, -100, 1920, 1200), {-908, -188}, {-1500, -190}, {-960, 400}};
  const Display main{kMainScreen, {1012, 12}, {100, 10}, {700, 450}};
  const std::vector<std::vector<Display>> layouts{
      {main, rightLow}, {main, rightTops}, {main, above},
      {main, below},    {main, left},      {main, rightTops, left}};
  for (const std::vector<Display>& layout : layouts) {
    std::vector<Rect> screens;
    for (const Display& display : layout) screens.push_back(display.frame);
    for (const Display& display : layout) {
      SCOPED_TRACE(::testing::Message() << layout.size() << " screens, " << minX(display.frame));
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
  for (const Case& c : std::vector<Case>{
           {makeRect(616, 876, 24, 24), true},    // just left of the housing
           {makeRect(800, 876, 24, 24), true},    // just right of it
           {makeRect(620, 876, 24, 24), false},   // under its left edge
           {makeRect(2140, 876, 24, 24), true},   // the same place on the screen without one
           {makeRect(2870, 876, 24, 24), false},  // half off the right
           {makeRect(1430, 876, 24, 24), false},  // astride two screens
           {makeRect(1000, 890, 24, 24), false},  // above the top
           {kNullRect, false}}) {
    EXPECT_EQ(statusButtonReachable(c.button, two, housings), c.reachable) << minX(c.button);
  }
  EXPECT_TRUE(statusButtonReachable(makeRect(700, 876, 24, 24), two, {}));  // no housings
  EXPECT_FALSE(statusButtonReachable(kButtonFrame, {}, {}));                // no screens
}

}  // namespace
}  // namespace hushpad
