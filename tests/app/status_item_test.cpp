// What a click on the status item does, the refused lock, the menu's actions
// and the forced unlock.

#include <gtest/gtest.h>

#include "app_test_support.h"

namespace hushpad::testing {
namespace {

using StatusItemTest = AppShellTest;

struct Refusal {
  const char* name;
  void (*arrange)(fakes::NullPlatform&);
  const char* alertTitle;
};

class RefusedLock : public AppShellTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedLock, KeepsTheUnlockedLookAndTheNextLeftClickLocksAfterTheMenu) {
  launch();
  GetParam().arrange(null);
  button().toolTip = "before the click";
  click();
  ASSERT_EQ(null.alerts.shown.size(), 1u);
  EXPECT_EQ(null.alerts.shown[0].title, GetParam().alertTitle);
  EXPECT_FALSE(isLocked());
  EXPECT_EQ(button().toolTip, kUnlockedToolTip);
  EXPECT_EQ(button().accessibilityLabel, "Hushpad unlocked");
  EXPECT_EQ(null.log->count("set "), 0u);
  EXPECT_FALSE(null.userDefaults.contains(kBackupKey));
  EXPECT_FALSE(null.userDefaults.contains(kReviewFlag));

  chooseFromMenu("");
  null.privacy = fakes::FakePrivacyAccess{};
  null.eventTaps.refuseCreation = false;
  click();
  EXPECT_TRUE(isLocked());
  EXPECT_EQ(button().toolTip, kLockedToolTip);
  EXPECT_TRUE(gesturesOff(null));
  EXPECT_EQ(null.mainQueue.pending.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    MissingPermissionOrTap, RefusedLock,
    ::testing::Values(
        Refusal{"accessibility",
                [](fakes::NullPlatform& n) { n.privacy.accessibilityTrusted = false; },
                "Hushpad needs Accessibility"},
        Refusal{"inputMonitoring",
                [](fakes::NullPlatform& n) { n.privacy.inputMonitoringGranted = false; },
                "Hushpad needs Input Monitoring"},
        Refusal{"tapRefused", [](fakes::NullPlatform& n) { n.eventTaps.refuseCreation = true; },
                "Hushpad needs input permissions"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

struct ClickCase {
  const char* name;
  std::optional<MouseEventType> event;
  bool startLocked;
  bool lockedAfter;
  bool menuOpened;
};

class ClickOnStatusItem : public AppShellTest, public ::testing::WithParamInterface<ClickCase> {};

// The lock state decides first; the kind of click only matters while unlocked.
// Modifier keys are never looked at.
TEST_P(ClickOnStatusItem, LockStateThenClickKindDecide) {
  launch();
  if (GetParam().startLocked) click();
  ASSERT_EQ(isLocked(), GetParam().startLocked);
  null.application.currentEvent = GetParam().event;
  button().click();
  EXPECT_EQ(isLocked(), GetParam().lockedAfter);
  EXPECT_EQ(item().menusAttached.size(), GetParam().menuOpened ? 1u : 0u);
  EXPECT_EQ(button().performClickCount, GetParam().menuOpened ? 1 : 0);
  EXPECT_EQ(button().toolTip, GetParam().lockedAfter ? kLockedToolTip : kUnlockedToolTip);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickOnStatusItem,
    ::testing::Values(
        ClickCase{"leftWhileUnlockedLocks", MouseEventType::LeftMouseUp, false, true, false},
        ClickCase{"rightWhileUnlockedOpensMenu", MouseEventType::RightMouseUp, false, false, true},
        ClickCase{"accessibilityPressWhileUnlockedLocks", std::nullopt, false, true, false},
        ClickCase{"otherEventWhileUnlockedLocks", MouseEventType::Other, false, true, false},
        ClickCase{"leftWhileLockedUnlocks", MouseEventType::LeftMouseUp, true, false, false},
        ClickCase{"rightWhileLockedUnlocksWithoutMenu", MouseEventType::RightMouseUp, true, false,
                  false},
        ClickCase{"accessibilityPressWhileLockedUnlocks", std::nullopt, true, false, false}),
    [](const ::testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

TEST_F(StatusItemTest, LockNowLocksLikeALeftClickAndNeverAsksForAReview) {
  launch();
  chooseFromMenu("Lock Now");
  EXPECT_TRUE(isLocked());
  EXPECT_EQ(button().toolTip, kLockedToolTip);
  EXPECT_EQ(item().menusDetached, 1);
  delegate->lockNow();  // already locked: nothing changes
  EXPECT_TRUE(isLocked());
  EXPECT_EQ(null.eventTaps.tapsCreated, 1);
  EXPECT_EQ(null.mainQueue.runPending(), 0u);
  EXPECT_FALSE(null.userDefaults.contains(kReviewFlag));
}

TEST_F(StatusItemTest, OpenPermissionsOnlyOpensTheAccessibilityList) {
  launch();
  chooseFromMenu("Open Permissions");
  EXPECT_EQ(null.workspace.opened,
            std::vector<std::string>{
                "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"});
  EXPECT_TRUE(null.privacy.calls.empty());
  EXPECT_EQ(null.application.activateCount, 0);
  EXPECT_FALSE(isLocked());
}

TEST_F(StatusItemTest, QuitFromTheMenuTerminatesWithoutTouchingPreferences) {
  launch();
  chooseFromMenu("Quit Hushpad");
  EXPECT_TRUE(null.application.terminated);
  EXPECT_EQ(null.log->lines(),
            (std::vector<std::string>{"applicationWillTerminate", "terminated"}));
  EXPECT_EQ(item().menusDetached, 1);
}

TEST_F(StatusItemTest, ReviewFlagFromAnEarlierRunMeansNoRequest) {
  null.userDefaults.putBool(kReviewFlag, true);
  launch();
  click();
  click();
  EXPECT_EQ(null.mainQueue.runPending(), 0u);
  EXPECT_EQ(null.reviewPrompt.requestCount, 0);
  EXPECT_EQ(null.log->count("setBool"), 0u);
}

TEST_F(StatusItemTest, ReviewFlagIsWrittenAtOnceAndTheQueuedRequestNeedsNoDelegate) {
  launch();
  click();
  click();
  EXPECT_TRUE(null.userDefaults.boolForKey(kReviewFlag));
  EXPECT_EQ(null.reviewPrompt.requestCount, 0);
  delegate.reset();
  EXPECT_EQ(null.mainQueue.runPending(), 1u);
  EXPECT_EQ(null.reviewPrompt.requestCount, 1);
}

TEST_F(StatusItemTest, ForcedUnlockRefreshesTheStatusItemWithoutAReview) {
  launch();
  click();
  ASSERT_TRUE(isLocked());
  null.privacy.accessibilityTrusted = false;  // taken away while locked
  EXPECT_EQ(tapEvent(kEventTapDisabledByUserInput, {}), TapVerdict::Pass);
  EXPECT_EQ(button().toolTip, kLockedToolTip);
  EXPECT_EQ(null.mainQueue.runPending(), 1u);
  EXPECT_FALSE(isLocked());
  EXPECT_EQ(button().toolTip, kUnlockedToolTip);
  EXPECT_EQ(button().accessibilityLabel, "Hushpad unlocked");
  EXPECT_EQ(button().image, delegate->unlockedToolbarImage());
  EXPECT_FALSE(null.userDefaults.data(kBackupKey).has_value());
  EXPECT_FALSE(null.userDefaults.contains(kReviewFlag));
}

}  // namespace
}  // namespace hushpad::testing
