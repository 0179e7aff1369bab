// Which events the tap swallows while locked, and the location tests that let
// clicks on the status item through.

#include "input/event_decision.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using inputtest::kButtonFrame;
using inputtest::kMainScreen;
using inputtest::kScreenHeight;
using inputtest::kScreenWidth;

constexpr std::uint64_t kExpectedMask = 0x65EE5C5CDE;

TEST(BlockedEventTypes, DefaultSetIsThe24TypesOfTheMask) {
  const BlockedEventTypes types = defaultBlockedEventTypes();
  EXPECT_EQ(types.size(), 24u);
  EXPECT_EQ(types.eventMask(), kExpectedMask);
  for (EventType type = 0; type < 64; ++type) {
    EXPECT_EQ(types.contains(type), ((kExpectedMask >> type) & 1) != 0) << "type " << type;
  }
}

TEST(BlockedEventTypes, PointerMovementTabletAndQuickLookAreNotBlocked) {
  const BlockedEventTypes types = defaultBlockedEventTypes();
  for (EventType type : {0u, 5u, 23u, 24u, 33u, 64u, kEventTapDisabledByTimeout}) {
    EXPECT_FALSE(types.contains(type)) << "type " << type;
  }
}

TEST(BlockedEventTypes, HitTestedTypesAreTheTenPointerTypes) {
  std::vector<EventType> hitTested;
  for (EventType type = 0; type < 200; ++type) {
    if (isHitTestedEventType(type)) hitTested.push_back(type);
  }
  EXPECT_EQ(hitTested, (std::vector<EventType>{1, 2, 3, 4, 6, 7, 22, 25, 26, 27}));
  EXPECT_FALSE(isHitTestedEventType(kEventTapDisabledByUserInput));
}

TEST(BlockedEventTypes, TypesOf64AndAboveAreMembersOutsideTheMask) {
  const BlockedEventTypes types{3, 64, 4000000000u, 64, 3};
  EXPECT_EQ(types.size(), 3u);
  EXPECT_EQ(types.eventMask(), 1u << 3);
  EXPECT_TRUE(types.contains(64));
  EXPECT_TRUE(types.contains(4000000000u));
  EXPECT_FALSE(types.contains(65));
  EXPECT_EQ(types, (BlockedEventTypes{4000000000u, 3, 64}));
  EXPECT_NE(types, (BlockedEventTypes{3, 64}));
}

TEST(BlockedEventTypes, MoreThanEightTypesAbove63AreRefused) {
  EXPECT_NO_THROW((BlockedEventTypes{64, 65, 66, 67, 68, 69, 70, 71}));
  EXPECT_THROW((BlockedEventTypes{64, 65, 66, 67, 68, 69, 70, 71, 72}), std::length_error);
}

TEST(BlockedEventTypes, EmptySetBlocksNothing) {
  const BlockedEventTypes none;
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.eventMask(), 0u);
  EXPECT_FALSE(none.contains(0));
}

// Event locations are given as the tap delivers them: y runs down from the top
// of the main screen.
struct FlipCase {
  std::string name;
  std::vector<Rect> screens;
  Point location;
  Point flipped;
};

class FlippedLocation : public ::testing::TestWithParam<FlipCase> {};

TEST_P(FlippedLocation, UsesTheFirstScreenThatContainsTheFlippedPoint) {
  const FlipCase& c = GetParam();
  EXPECT_EQ(flippedLocation(c.location, c.screens), c.flipped);
}

const Rect kRightScreen = makeRect(kScreenWidth, 0, kScreenWidth, kScreenHeight);
const Rect kScreenAbove = makeRect(0, kScreenHeight, kScreenWidth, kScreenHeight);
const Rect kTallRightScreen = makeRect(kScreenWidth, -300, 1000, 1200);

INSTANTIATE_TEST_SUITE_P(
    Layouts, FlippedLocation,
    ::testing::Values(
        FlipCase{"NoScreensKeepsThePoint", {}, {10, 10}, {10, 10}},
        FlipCase{"MainScreen", {kMainScreen}, {10, 10}, {10, 890}},
        FlipCase{"YZeroFlipsOutOfTheScreen", {kMainScreen}, {10, 0}, {10, 0}},
        FlipCase{"YHalf", {kMainScreen}, {10, 0.5}, {10, 899.5}},
        FlipCase{"RightEdgeOfTheMainScreenFallsToTheNext",
                 {kMainScreen, kRightScreen}, {kScreenWidth, 10}, {kScreenWidth, 890}},
        FlipCase{"LeftOfEveryScreen", {kMainScreen, kRightScreen}, {-1, 10}, {-1, 10}},
        FlipCase{"SecondScreenUsesItsOwnFrame", {kMainScreen, kTallRightScreen}, {1500, 10},
                 {1500, 590}},
        FlipCase{"ScreenAboveHasNoFlip", {kMainScreen, kScreenAbove}, {10, -890}, {10, -890}},
        FlipCase{"NegativeSizedFrameIsStandardised",
                 {makeRect(kScreenWidth, kScreenHeight, -kScreenWidth, -kScreenHeight)},
                 {10, 10}, {10, 890}}),
    [](const auto& info) { return info.param.name; });

struct HitCase {
  std::string name;
  std::vector<Rect> screens;
  Point location;
  bool passes;
};

class StatusButtonHit : public ::testing::TestWithParam<HitCase> {};

TEST_P(StatusButtonHit, PassesWithin12PointsOfTheButtonOrItsMirror) {
  const HitCase& c = GetParam();
  EXPECT_EQ(statusButtonHit(kButtonFrame, c.location, c.screens), c.passes);
}

// The button spans x 1000..1024 and, as event locations, y 0..24.
INSTANTIATE_TEST_SUITE_P(
    MainScreen, StatusButtonHit,
    ::testing::Values(
        HitCase{"Centre", {kMainScreen}, {1012, 12}, true},
        HitCase{"TwelveLeft", {kMainScreen}, {988, 12}, true},
        HitCase{"ThirteenLeft", {kMainScreen}, {987, 12}, false},
        HitCase{"JustInsideTwelveRight", {kMainScreen}, {1035.5, 12}, true},
        HitCase{"TwelveRightIsTheOpenEdge", {kMainScreen}, {1036, 12}, false},
        HitCase{"TwelveBelow", {kMainScreen}, {1012, 36}, true},
        HitCase{"ThirteenBelow", {kMainScreen}, {1012, 37}, false},
        HitCase{"YZero", {kMainScreen}, {1012, 0}, false},
        HitCase{"YHalf", {kMainScreen}, {1012, 0.5}, true},
        HitCase{"MirrorNearTheBottomEdge", {kMainScreen}, {1012, kScreenHeight - 36}, true},
        HitCase{"MirrorLowestRow", {kMainScreen}, {1012, kScreenHeight - 0.5}, true},
        HitCase{"AboveTheMirror", {kMainScreen}, {1012, kScreenHeight - 37}, false},
        HitCase{"FarAway", {kMainScreen}, {200, 400}, false},
        HitCase{"NoScreensOnlyTheDeliveredPoint", {}, {1012, 12}, false},
        HitCase{"NoScreensDeliveredPointInTheHitArea", {}, {1012, 880}, true}),
    [](const auto& info) { return info.param.name; });

class MenuBarStripHit : public ::testing::TestWithParam<HitCase> {};

TEST_P(MenuBarStripHit, PassesInTheTop36PointsOfAScreenOrTheirMirror) {
  const HitCase& c = GetParam();
  EXPECT_EQ(menuBarStripHit(c.location, c.screens), c.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MenuBarStripHit,
    ::testing::Values(
        HitCase{"MainTop", {kMainScreen}, {100, 10}, true},
        HitCase{"MainStripLowestRow", {kMainScreen}, {100, 36}, true},
        HitCase{"BelowTheStrip", {kMainScreen}, {100, 36.5}, false},
        HitCase{"YZero", {kMainScreen}, {100, 0}, false},
        HitCase{"YHalf", {kMainScreen}, {100, 0.5}, true},
        HitCase{"MirrorAtTheBottom", {kMainScreen}, {100, kScreenHeight - 36}, true},
        HitCase{"MiddleOfTheScreen", {kMainScreen}, {100, 450}, false},
        HitCase{"SecondScreenTop", {kMainScreen, kRightScreen}, {1500, 10}, true},
        HitCase{"SecondScreenLeftEdge", {kMainScreen, kRightScreen}, {kScreenWidth, 36}, true},
        HitCase{"SecondScreenMiddle", {kMainScreen, kRightScreen}, {1500, 37}, false},
        HitCase{"SecondScreenLowMiddle", {kMainScreen, kRightScreen}, {2800, 863}, false},
        HitCase{"ScreenAboveItsTop", {kMainScreen, kScreenAbove}, {100, -890}, false},
        HitCase{"ScreenAboveMainTopStillPasses", {kMainScreen, kScreenAbove}, {100, 10}, true},
        HitCase{"NoScreens", {}, {100, 10}, false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace hushpad
