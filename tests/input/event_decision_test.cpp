// Where a release unlocks while locked, and where the unlock mark goes. Points
// and frames are in screen coordinates (y upward) unless said otherwise.

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

// Event locations run down from the main screen's top left, whatever screen
// they lie on; no screens leave them as they are.
TEST(HitTests, EventLocationsAreFlippedThroughTheMainScreen) {
  EXPECT_EQ(flippedLocation({1012, 12}, kMain), (Point{1012, 888}));
  EXPECT_EQ(flippedLocation({100, -890}, kMainAndAbove), (Point{100, 1790}));
  EXPECT_EQ(flippedLocation({7, 8}, {}), (Point{7, 8}));
}

// A target counts with 12 points around it on every side, edges included;
// a menu-bar strip is the top 36 points of a screen.
TEST(HitTests, TargetsHaveTheSameMarginOnEverySide) {
  struct Boundary {
    Point hits, misses;
  };
  for (const Boundary& c : std::vector<Boundary>{{{988, 888}, {987.5, 888}},      // left
                                                 {{1036, 888}, {1036.5, 888}},    // right
                                                 {{1012, 864}, {1012, 863.5}},    // below
                                                 {{1012, 912}, {1012, 912.5}},    // above
                                                 {{988, 864}, {987.9, 863.9}}}) {  // corner
    EXPECT_TRUE(unlockTargetHit(kButtonFrame, c.hits)) << c.hits.x << "," << c.hits.y;
    EXPECT_FALSE(unlockTargetHit(kButtonFrame, c.misses)) << c.misses.x << "," << c.misses.y;
  }
  EXPECT_FALSE(unlockTargetHit(kNullRect, {0, 0}));

  struct Strip {
    std::vector<Rect> screens;
    Point in, out;
  };
  for (const Strip& c : std::vector<Strip>{{kMain, {100, 864}, {100, 863.5}},
                                           {kMain, {100, 899.5}, {100, 900}},
                                           {kMainAndRight, {2000, 880}, {2000, 12}},
                                           {kMainAndAbove, {100, 1790}, {100, 450}}}) {
    EXPECT_TRUE(menuBarStripHit(c.in, c.screens)) << c.in.x << "," << c.in.y;
    EXPECT_FALSE(menuBarStripHit(c.out, c.screens)) << c.out.x << "," << c.out.y;
  }
  EXPECT_FALSE(menuBarStripHit({100, 880}, {}));
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

// The mark goes over the button the user clicked; anywhere else (a proxy
// drew the icon, the button is unreachable or unknown) it goes where the
// pointer was, a square of the button's size kept inside that screen.
TEST(UnlockMarkPlace, OverTheClickedButtonElseAtTheLockPointInsideItsScreen) {
  const auto square = [](double x, double y, double side = 24) {
    return std::optional(makeRect(x, y, side, side));
  };
  const std::optional<Rect> button = kButtonFrame;
  const std::optional<Rect> none;
  const Rect wide = makeRect(1000, 878, 30, 22);
  struct Case {
    const char* what;
    std::optional<Rect> reachable, frame;
    std::optional<Point> lockPoint;
    std::vector<Rect> screens;
    std::optional<Rect> place;
  };
  const std::vector<Case> cases{
      {"on the button", button, button, Point{1012, 888}, kMain, button},
      {"12 from it", button, button, Point{988, 876}, kMain, button},
      {"13 from it", button, button, Point{987, 876}, kMain, square(975, 864)},
      {"no lock point", button, button, std::nullopt, kMain, button},
      {"behind the housing", none, button, Point{1012, 888}, kMain, square(1000, 876)},
      {"a wider button", none, wide, Point{700, 450}, kMain, square(685, 435, 30)},
      {"no button", none, none, Point{700, 450}, kMain, square(688, 438)},
      {"near the right edge", none, none, Point{1435, 450}, kMain, square(1416, 438)},
      {"in the top left corner", none, none, Point{3, 898}, kMain, square(0, 876)},
      {"on the second screen", none, button, Point{2000, 895}, kMainAndRight, square(1988, 876)},
      {"off every screen", none, button, Point{-50, 450}, kMainAndRight, square(0, 438)},
      {"above the upper screen", none, none, Point{100, 1900}, kMainAndAbove, square(88, 1776)},
      {"nothing to go by", none, button, std::nullopt, kMain, none},
      {"no screens", none, button, Point{1012, 888}, {}, none},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unlockMarkPlace(c.reachable, c.frame, c.lockPoint, c.screens), c.place) << c.what;
  }
}

}  // namespace
}  // namespace hushpad
