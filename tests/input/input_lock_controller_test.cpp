// The lock state machine, the event tap's life and the verdict on each event.

#include "input/input_lock_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;
using Bools = std::vector<bool>;

constexpr std::uint64_t kExpectedMask = 0x65EE5C5CDE;

class LockTest : public ::testing::Test {
 protected:
  // The attempt ended unlocked, with the gesture lock never called and one alert.
  void expectFailedAttempt(const std::string& alertTitle) {
    EXPECT_FALSE(controller.isLocked());
    EXPECT_TRUE(rig.userDefaults.log().lines().empty());
    ASSERT_EQ(rig.alerts.shown.size(), 1u);
    EXPECT_EQ(rig.alerts.shown[0].title, alertTitle);
  }

  InputRig rig;
  InputLockController& controller = rig.controller;
};

TEST_F(LockTest, FreshControllerHasNoTapAndTouchesNothing) {
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(controller.hasEventTap());
  EXPECT_EQ(controller.blockedEventTypes(), defaultBlockedEventTypes());
  EXPECT_TRUE(rig.privacy.calls.empty());
  EXPECT_TRUE(rig.userDefaults.log().lines().empty());
}

TEST_F(LockTest, LockCreatesTheTapDisabledThenEnablesItAfterSwitchingGesturesOff) {
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_EQ(rig.eventTaps.masks, (std::vector<std::uint64_t>{kExpectedMask}));
  EXPECT_EQ(rig.eventTaps.client, &controller);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true}));
  EXPECT_TRUE(rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesOff());
  EXPECT_TRUE(rig.alerts.shown.empty());
}

TEST_F(LockTest, UnlockDisablesTheTapAndRestoresGestures) {
  rig.lockNow();
  controller.unlock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesRestored());
}

TEST_F(LockTest, LockWhileLockedDoesNothing) {
  rig.lockNow();
  const auto privacyCalls = rig.privacy.calls.size();
  const auto defaultsCalls = rig.userDefaults.log().lines().size();
  controller.lock();
  EXPECT_EQ(rig.privacy.calls.size(), privacyCalls);
  EXPECT_EQ(rig.userDefaults.log().lines().size(), defaultsCalls);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true}));
}

TEST_F(LockTest, UnlockWhileUnlockedDoesNotTouchTheGestureLock) {
  controller.unlock();
  rig.lockNow();
  controller.unlock();
  rig.userDefaults.log().clear();
  controller.unlock();
  EXPECT_TRUE(rig.userDefaults.log().lines().empty());
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false}));
}

TEST_F(LockTest, TapIsCreatedOnceAndReused) {
  rig.lockNow();
  fakes::FakeEventTap* first = rig.eventTaps.lastTap;
  controller.unlock();
  rig.lockNow();
  EXPECT_EQ(rig.eventTaps.tapsCreated, 1);
  EXPECT_EQ(rig.eventTaps.lastTap, first);
  EXPECT_TRUE(controller.ensureEventTap());
  EXPECT_EQ(rig.eventTaps.tapsCreated, 1);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false, true}));
}

TEST_F(LockTest, MissingPrivilegeEndsTheAttemptBeforeTheTap) {
  rig.privacy.inputMonitoringGranted = false;
  controller.lock();
  expectFailedAttempt("Hushpad needs Input Monitoring");
  EXPECT_TRUE(rig.eventTaps.masks.empty());
}

TEST_F(LockTest, RefusedTapShowsItsAlertAndLeavesGesturesAlone) {
  rig.eventTaps.refuseCreation = true;
  controller.lock();
  expectFailedAttempt("Hushpad needs input permissions");
  EXPECT_FALSE(controller.hasEventTap());
}

TEST_F(LockTest, NextLockAfterARefusedTapTriesAgain) {
  rig.eventTaps.refuseCreation = true;
  controller.lock();
  rig.eventTaps.refuseCreation = false;
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_EQ(rig.eventTaps.masks.size(), 2u);
  EXPECT_EQ(rig.eventTaps.tapsCreated, 1);
}

TEST_F(LockTest, TapThatCannotStartRollsTheLockBack) {
  rig.eventTaps.refuseEnable = true;
  controller.lock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false}));
  EXPECT_FALSE(rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesRestored());
  EXPECT_EQ(rig.notifications.posted.size(), 8u);  // switched off, then back on
  EXPECT_EQ(rig.alerts.shown,
            (std::vector<AlertContent>{
                {"Hushpad could not lock the input",
                 "Another application is holding the keyboard or the pointer. Try again in a "
                 "moment.",
                 {"OK"}}}));
  EXPECT_TRUE(rig.workspace.requested.empty());
  EXPECT_TRUE(rig.mainQueue.pending.empty());
}

TEST_F(LockTest, LockWorksOnceTheInputIsFreeAgain) {
  rig.eventTaps.refuseEnable = true;
  controller.lock();
  rig.tap().refuseEnable = false;
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_TRUE(rig.gesturesOff());
}

// The two notices the system sends when it switches the tap off.
class TapDisabled : public LockTest, public ::testing::WithParamInterface<EventType> {
 protected:
  TapDisabled() {
    controller.setForcedUnlockHandler([this] { ++forcedUnlocks; });
  }
  TapVerdict notify() { return controller.eventTapCallback(GetParam(), {0, 0}); }
  void lockThenLoseAccessibility() {
    rig.lockNow();
    rig.privacy.accessibilityTrusted = false;
  }

  int forcedUnlocks = 0;
};

TEST_P(TapDisabled, WhileUnlockedTheTapStaysOff) {
  rig.lockNow();
  controller.unlock();
  EXPECT_EQ(notify(), TapVerdict::Pass);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false}));
  EXPECT_TRUE(rig.mainQueue.pending.empty());
}

TEST_P(TapDisabled, WithoutATapNothingHappens) {
  EXPECT_EQ(notify(), TapVerdict::Pass);
  EXPECT_TRUE(rig.privacy.calls.empty());
  EXPECT_TRUE(rig.mainQueue.pending.empty());
}

TEST_P(TapDisabled, WhileLockedAndTrustedTheTapGoesBackOnAtOnce) {
  rig.lockNow();
  EXPECT_EQ(notify(), TapVerdict::Pass);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, true}));
  EXPECT_TRUE(controller.isLocked());
  EXPECT_TRUE(rig.mainQueue.pending.empty());
}

TEST_P(TapDisabled, LostAccessibilityUnlocksOnTheNextPassInsteadOfReenabling) {
  lockThenLoseAccessibility();

  EXPECT_EQ(notify(), TapVerdict::Pass);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false}));
  EXPECT_TRUE(controller.isLocked());
  EXPECT_TRUE(rig.gesturesOff());
  EXPECT_EQ(forcedUnlocks, 0);

  rig.mainQueue.runPending();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_TRUE(rig.gesturesRestored());
  EXPECT_EQ(forcedUnlocks, 1);
}

TEST_P(TapDisabled, TapThatCannotGoBackOnUnlocksOnTheNextPass) {
  rig.lockNow();
  rig.tap().refuseEnable = true;

  EXPECT_EQ(notify(), TapVerdict::Pass);
  EXPECT_TRUE(controller.isLocked());
  rig.mainQueue.runPending();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesRestored());
  EXPECT_EQ(forcedUnlocks, 1);
}

TEST_P(TapDisabled, ForcedUnlockHappensOnceForRepeatedNotices) {
  lockThenLoseAccessibility();
  notify();
  notify();
  rig.mainQueue.runPending();
  EXPECT_EQ(forcedUnlocks, 1);
  EXPECT_EQ(rig.notifications.posted.size(), 8u);  // one lock, one unlock
}

TEST_P(TapDisabled, ForcedUnlockIsDroppedWhenTheUserUnlockedFirst) {
  lockThenLoseAccessibility();
  notify();
  controller.unlock();
  rig.mainQueue.runPending();
  EXPECT_EQ(forcedUnlocks, 0);
  EXPECT_FALSE(controller.isLocked());
}

TEST_P(TapDisabled, ForcedUnlockWithoutAHandlerStillUnlocks) {
  controller.setForcedUnlockHandler(nullptr);
  lockThenLoseAccessibility();
  notify();
  rig.mainQueue.runPending();
  EXPECT_FALSE(controller.isLocked());
}

INSTANTIATE_TEST_SUITE_P(Notices, TapDisabled,
                         ::testing::Values(kEventTapDisabledByTimeout,
                                           kEventTapDisabledByUserInput),
                         [](const auto& info) {
                           return info.param == kEventTapDisabledByTimeout ? "Timeout"
                                                                           : "UserInput";
                         });

// Verdicts while locked, with the button at the top of the main screen.
class Verdicts : public LockTest {
 protected:
  void SetUp() override { rig.lockNow(); }
  TapVerdict verdict(EventType type, Point location) {
    return controller.eventTapCallback(type, location);
  }
  static constexpr Point kFarAway{200, 400};
  static constexpr Point kInTheStripAwayFromTheButton{100, 12};
};

TEST_F(Verdicts, EverythingPassesWhileUnlocked) {
  controller.unlock();
  for (EventType type = 0; type < 64; ++type) {
    EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Pass) << "type " << type;
  }
}

TEST_F(Verdicts, BlockedTypesWithoutALocationTestAreSwallowedOverTheButton) {
  const BlockedEventTypes blocked = defaultBlockedEventTypes();
  for (EventType type = 0; type < 64; ++type) {
    if (!blocked.contains(type) || isHitTestedEventType(type)) continue;
    EXPECT_EQ(verdict(type, kOnButton), TapVerdict::Swallow) << "type " << type;
  }
}

TEST_F(Verdicts, PointerTypesPassOverTheButtonAndAreSwallowedElsewhere) {
  for (EventType type = 0; type < 64; ++type) {
    if (!isHitTestedEventType(type)) continue;
    EXPECT_EQ(verdict(type, kOnButton), TapVerdict::Pass) << "type " << type;
    EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Swallow) << "type " << type;
  }
}

TEST_F(Verdicts, UnblockedTypesPass) {
  for (EventType type : {0u, kMouseMoved, 23u, 24u, 33u, 39u, 63u, 64u, 1000u}) {
    EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Pass) << "type " << type;
  }
}

TEST_F(Verdicts, ClickTwelvePointsOutPassesAndThirteenIsSwallowed) {
  for (EventType type : {kLeftMouseDown, kLeftMouseUp}) {
    EXPECT_EQ(verdict(type, {988, 36}), TapVerdict::Pass);
    EXPECT_EQ(verdict(type, {987, 12}), TapVerdict::Swallow);
    EXPECT_EQ(verdict(type, {1012, 37}), TapVerdict::Swallow);
  }
}

TEST_F(Verdicts, StripAwayFromAPresentButtonIsSwallowed) {
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStripAwayFromTheButton), TapVerdict::Swallow);
}

TEST_F(Verdicts, GoneButtonFallsBackToTheStrips) {
  rig.button.reset();
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStripAwayFromTheButton), TapVerdict::Pass);
  EXPECT_EQ(verdict(kScrollWheel, kFarAway), TapVerdict::Swallow);
  EXPECT_EQ(verdict(kKeyDown, kInTheStripAwayFromTheButton), TapVerdict::Swallow);
}

TEST_F(Verdicts, ButtonOutOfItsWindowFallsBackToTheStrips) {
  rig.button->inWindow = false;
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStripAwayFromTheButton), TapVerdict::Pass);
  EXPECT_EQ(verdict(kLeftMouseDown, kFarAway), TapVerdict::Swallow);
}

TEST_F(Verdicts, NoScreensAndNoButtonSwallowsEveryPointerEvent) {
  rig.button.reset();
  rig.screens.frames.clear();
  EXPECT_EQ(verdict(kLeftMouseDown, kOnButton), TapVerdict::Swallow);
}

TEST_F(Verdicts, ScreensAreAskedForEachEvent) {
  rig.button.reset();
  rig.screens.frames = screensSideBySide(2);
  EXPECT_EQ(verdict(kLeftMouseDown, {1500, 10}), TapVerdict::Pass);
  rig.screens.frames.pop_back();
  EXPECT_EQ(verdict(kLeftMouseDown, {1500, 10}), TapVerdict::Swallow);
}

TEST_F(Verdicts, MoreScreensThanFitAreCutToTheFirstOnes) {
  rig.button.reset();
  rig.screens.frames.assign(kMaxScreens, makeRect(-5000, 0, 10, 10));
  rig.screens.frames.push_back(kMainScreen);
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStripAwayFromTheButton), TapVerdict::Swallow);
  rig.screens.frames.front() = kMainScreen;
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStripAwayFromTheButton), TapVerdict::Pass);
}

TEST_F(Verdicts, KeysAndGesturesOverAButtonInTheStripStaySwallowed) {
  for (EventType type : {kKeyDown, kFlagsChanged, kMagnify}) {
    EXPECT_EQ(verdict(type, kOnButton), TapVerdict::Swallow) << "type " << type;
  }
}

}  // namespace
}  // namespace hushpad
