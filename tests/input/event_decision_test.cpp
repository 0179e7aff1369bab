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

const Rect kRightScreen = makeRect(kScreenWidth, 0, kScreenWidth, kScreenHeight);
const Rect kScreenAbove = makeRect(0, kScreenHeight, kScreenWidth, kScreenHeight);
const std::vector<Rect> kMain{kMainScreen};
const std::vector<Rect> kMainAndRight{kMainScreen, kRightScreen};

// On these screens one location passes, a nearby one does not.
struct Boundary {
  std::vector<Rect> screens;
  Point passes;
  Point stops;
};

TEST(BlockedEventTypes, DefaultSetIsThe24TypesOfItsMask) {
  const BlockedEventTypes types = defaultBlockedEventTypes();
  EXPECT_EQ(types.size(), 24u);
  EXPECT_EQ(types.eventMask(), 0x65EE5C5CDEu);
  for (EventType type = 0; type < 64; ++type) {
    EXPECT_EQ(types.contains(type), ((0x65EE5C5CDEu >> type) & 1) != 0) << type;
  }
}

TEST(BlockedEventTypes, TypesOf64AndAboveAreMembersOutsideTheMaskEightAtMost) {
  const BlockedEventTypes types{3, 64, 4000000000u, 64, 3};
  EXPECT_EQ(types.size(), 3u);
  EXPECT_EQ(types.eventMask(), 1u << 3);
  EXPECT_TRUE(types.contains(4000000000u) && !types.contains(65));
  EXPECT_EQ(types, (BlockedEventTypes{4000000000u, 3, 64}));
  EXPECT_THROW((BlockedEventTypes{64, 65, 66, 67, 68, 69, 70, 71, 72}), std::length_error);
}

TEST(FlippedLocation, UsesTheFirstScreenThatContainsTheFlippedPoint) {
  const Rect tallRightScreen = makeRect(kScreenWidth, -300, 1000, 1200);
  EXPECT_EQ(flippedLocation({10, 10}, {}), (Point{10, 10}));
  EXPECT_EQ(flippedLocation({10, 10}, kMain), (Point{10, 890}));
  EXPECT_EQ(flippedLocation({10, 0}, kMain), (Point{10, 0}));  // flips out of the screen
  EXPECT_EQ(flippedLocation({10, 0.5}, kMain), (Point{10, 899.5}));
  EXPECT_EQ(flippedLocation({kScreenWidth, 10}, kMainAndRight), (Point{kScreenWidth, 890}));
  const std::vector<Rect> tall{kMainScreen, tallRightScreen};
  EXPECT_EQ(flippedLocation({1500, 10}, tall), (Point{1500, 590}));
  const std::vector<Rect> negative{makeRect(kScreenWidth, kScreenHeight, -1440, -900)};
  EXPECT_EQ(flippedLocation({10, 10}, negative), (Point{10, 890}));
}

TEST(StatusButtonHit, PassesWithin12PointsOfTheButtonOrItsMirror) {
  const std::vector<Boundary> cases{
      {kMain, {1012, 12}, {200, 400}},
      {kMain, {988, 12}, {987, 12}},                                    // 12 and 13 left
      {kMain, {1035.5, 12}, {1036, 12}},                                // 12 right: open edge
      {kMain, {1012, 36}, {1012, 37}},                                  // below
      {kMain, {1012, 0.5}, {1012, 0}},                                  // y 0 flips off-screen
      {kMain, {1012, kScreenHeight - 36}, {1012, kScreenHeight - 37}},  // the mirror
      {{}, {1012, 880}, {1012, 12}},  // no screens: only the delivered point
  };
  for (const Boundary& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    EXPECT_TRUE(statusButtonHit(kButtonFrame, c.passes, c.screens));
    EXPECT_FALSE(statusButtonHit(kButtonFrame, c.stops, c.screens));
  }
}

TEST(MenuBarStripHit, PassesInTheTop36PointsOfAScreenOrTheirMirror) {
  const std::vector<Boundary> cases{
      {kMain, {100, 36}, {100, 36.5}},
      {kMain, {100, 0.5}, {100, 0}},
      {kMain, {100, kScreenHeight - 36}, {100, 450}},
      {kMainAndRight, {1500, 10}, {1500, 37}},
      {kMainAndRight, {kScreenWidth, 36}, {2800, 863}},
      {{kMainScreen, kScreenAbove}, {100, 10}, {100, -890}},
  };
  for (const Boundary& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    EXPECT_TRUE(menuBarStripHit(c.passes, c.screens));
    EXPECT_FALSE(menuBarStripHit(c.stops, c.screens));
  }
  EXPECT_FALSE(menuBarStripHit({100, 10}, {}));
}

// The rectangle rules must match Core Graphics.

TEST(Geometry, NegativeSizesAreStandardised) {
  const Rect r = makeRect(10, 20, -4, -6);
  EXPECT_EQ(standardized(r), makeRect(6, 14, 4, 6));
  EXPECT_EQ((Rect{{minX(r), minY(r)}, {width(r), height(r)}}), makeRect(6, 14, 4, 6));
  EXPECT_EQ(maxX(r), 10);
  EXPECT_EQ(maxY(r), 20);
  EXPECT_TRUE(containsPoint(r, {6, 14}));
  EXPECT_FALSE(containsPoint(r, {10, 20}));
}

TEST(Geometry, ContainsMinimumEdgesButNotMaximumEdges) {
  const Rect r = makeRect(0, 0, 10, 10);
  EXPECT_TRUE(containsPoint(r, {0, 0}));
  EXPECT_TRUE(containsPoint(r, {9.999, 9.999}));
  EXPECT_FALSE(containsPoint(r, {10, 5}));
  EXPECT_FALSE(containsPoint(r, {5, 10}));
  EXPECT_FALSE(containsPoint(r, {-0.001, 5}));
  EXPECT_FALSE(containsPoint(makeRect(5, 5, 0, 10), {5, 5}));
}

TEST(Geometry, InsetShrinksOrWithNegativeAmountsGrowsTheStandardForm) {
  EXPECT_EQ(insetBy(makeRect(1000, 876, 24, 24), -12, -12), makeRect(988, 864, 48, 48));
  EXPECT_EQ(insetBy(makeRect(24, 24, -24, -24), 2, 3), makeRect(2, 3, 20, 18));
  EXPECT_EQ(insetBy(makeRect(0, 0, 10, 10), 5, 5), makeRect(5, 5, 0, 0));
}

TEST(Geometry, NullRectangleContainsNothingAndStaysNull) {
  const Rect shrunk = insetBy(makeRect(0, 0, 10, 10), 6, 1);
  EXPECT_TRUE(isNull(shrunk));
  EXPECT_FALSE(containsPoint(shrunk, {3, 3}));
  const Rect grown = insetBy(kNullRect, -12, -12);
  EXPECT_TRUE(isNull(grown));
  EXPECT_FALSE(containsPoint(grown, {1e308, 1e308}));
}

}  // namespace
}  // namespace hushpad
