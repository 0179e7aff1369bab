// The lock state machine, the event tap's life, the verdict on each event, and
// the permission checks before each lock.

#include "input/input_lock_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;
using Bools = std::vector<bool>;
using Strings = std::vector<std::string>;

class LockTest : public ::testing::Test {
 protected:
  // The attempt ended unlocked with one alert titled title, the gestures untouched.
  void expectRefusedAttempt(const std::string& title) {
    EXPECT_FALSE(controller.isLocked());
    EXPECT_TRUE(rig.gestureCalls().empty());
    ASSERT_EQ(rig.alerts.shown.size(), 1u);
    EXPECT_EQ(rig.alerts.shown[0].title, title);
  }

  InputRig rig;
  InputLockController& controller = rig.controller;
};

TEST_F(LockTest, LockMakesADisabledTapThenEnablesItWithGesturesOffAndUnlockUndoesBoth) {
  EXPECT_FALSE(controller.hasEventTap());
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_EQ(rig.eventTaps.masks, (std::vector<std::uint64_t>{0x65EE5C5CDE}));
  EXPECT_EQ(rig.eventTaps.client, &controller);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true}));
  EXPECT_TRUE(rig.gesturesOff());
  EXPECT_TRUE(rig.alerts.shown.empty());

  controller.unlock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesRestored());
}

TEST_F(LockTest, RepeatedLocksAndUnlocksDoNothingAndTheTapIsReused) {
  rig.lockNow();
  const std::size_t privacyCalls = rig.privacy.calls.size();
  std::size_t gestureCalls = rig.gestureCalls().size();
  controller.lock();
  EXPECT_EQ(rig.privacy.calls.size(), privacyCalls);
  EXPECT_EQ(rig.gestureCalls().size(), gestureCalls);

  controller.unlock();
  gestureCalls = rig.gestureCalls().size();
  controller.unlock();
  EXPECT_EQ(rig.gestureCalls().size(), gestureCalls);

  rig.lockNow();
  EXPECT_TRUE(controller.ensureEventTap());
  EXPECT_EQ(rig.eventTaps.masks.size(), 1u);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false, true}));
}

TEST_F(LockTest, MissingPrivilegeEndsTheAttemptBeforeTheTap) {
  rig.privacy.inputMonitoringGranted = false;
  controller.lock();
  expectRefusedAttempt("Hushpad needs Input Monitoring");
  EXPECT_TRUE(rig.eventTaps.masks.empty());
}

TEST_F(LockTest, RefusedTapShowsItsAlertAndTheNextLockTriesAgain) {
  rig.eventTaps.refuseCreation = true;
  controller.lock();
  expectRefusedAttempt("Hushpad needs input permissions");
  EXPECT_FALSE(controller.hasEventTap());

  rig.eventTaps.refuseCreation = false;
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_EQ(rig.eventTaps.masks.size(), 2u);
}

TEST_F(LockTest, TapThatCannotStartRollsTheLockBackUntilTheInputIsFree) {
  rig.eventTaps.refuseEnable = true;
  controller.lock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, false}));
  EXPECT_TRUE(rig.gesturesRestored());
  EXPECT_EQ(fakes::count(rig.gestureCalls(), "post "), 8u);  // switched off, then back on
  EXPECT_EQ(rig.alerts.shown,
            (std::vector<AlertContent>{
                {"Hushpad could not lock the input",
                 "Another application is holding the keyboard or the pointer. Try again in a "
                 "moment.",
                 {"OK"}}}));
  EXPECT_TRUE(rig.workspace.opened.empty());
  EXPECT_TRUE(rig.mainQueue.pending.empty());

  rig.tap().refuseEnable = false;
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_TRUE(rig.gesturesOff());
}

// Sends both notices the system gives when it switches the tap off; they pass.
void notifyTapDisabled(InputLockController& controller) {
  for (EventType notice : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(controller.eventTapCallback(notice, {0, 0}), TapVerdict::Pass);
  }
}

TEST_F(LockTest, DisabledTapGoesBackOnAtOnceOnlyWhileLocked) {
  notifyTapDisabled(controller);  // no tap yet
  EXPECT_TRUE(rig.privacy.calls.empty());
  rig.lockNow();
  notifyTapDisabled(controller);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, true, true}));
  controller.unlock();
  notifyTapDisabled(controller);
  EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, true, true, false}));
  EXPECT_TRUE(rig.mainQueue.pending.empty());
}

// With Accessibility gone, or a tap that will not go back on, the lock no longer
// holds: the controller unlocks on the next main-loop pass, once however many
// notices came, and tells its owner.
TEST(ForcedUnlock, FollowsLostAccessibilityOrATapThatStaysOff) {
  for (const bool accessibilityLost : {true, false}) {
    SCOPED_TRACE(accessibilityLost ? "Accessibility lost" : "tap stays off");
    InputRig rig;
    int forcedUnlocks = 0;
    rig.controller.setForcedUnlockHandler([&] { ++forcedUnlocks; });
    rig.lockNow();
    rig.privacy.accessibilityTrusted = !accessibilityLost;
    rig.tap().refuseEnable = !accessibilityLost;
    notifyTapDisabled(rig.controller);
    notifyTapDisabled(rig.controller);
    EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, !accessibilityLost, !accessibilityLost,
                                            !accessibilityLost, !accessibilityLost}));
    EXPECT_TRUE(rig.controller.isLocked());
    EXPECT_TRUE(rig.gesturesOff());

    rig.mainQueue.runPending();
    EXPECT_FALSE(rig.controller.isLocked());
    EXPECT_FALSE(rig.tap().enabled);
    EXPECT_TRUE(rig.gesturesRestored());
    EXPECT_EQ(forcedUnlocks, 1);
  }
}

TEST(ForcedUnlock, IsDroppedWhenTheUserUnlockedFirst) {
  InputRig rig;
  int forcedUnlocks = 0;
  rig.controller.setForcedUnlockHandler([&] { ++forcedUnlocks; });
  rig.lockNow();
  rig.privacy.accessibilityTrusted = false;
  notifyTapDisabled(rig.controller);
  rig.controller.unlock();
  rig.mainQueue.runPending();
  EXPECT_EQ(forcedUnlocks, 0);
}

// Verdicts while locked, with the button at the top of the main screen.
class Verdicts : public LockTest {
 protected:
  void SetUp() override { rig.lockNow(); }
  TapVerdict verdict(EventType type, Point location) {
    return controller.eventTapCallback(type, location);
  }
  static constexpr Point kFarAway{200, 400};
  static constexpr Point kInTheStrip{100, 12};  // away from the button
};

// Mouse buttons, drags and scrolls.
const std::vector<EventType> kPointerTypes{1, 2, 3, 4, 6, 7, 22, 25, 26, 27};

TEST_F(Verdicts, PointerEventsPassOnlyNearTheButton) {
  for (EventType type : kPointerTypes) {
    EXPECT_EQ(verdict(type, kOnButton), TapVerdict::Pass) << type;
    EXPECT_EQ(verdict(type, {988, 36}), TapVerdict::Pass) << type;  // 12 points out
    EXPECT_EQ(verdict(type, {987, 12}), TapVerdict::Swallow) << type;
    EXPECT_EQ(verdict(type, kInTheStrip), TapVerdict::Swallow) << type;
    EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Swallow) << type;
  }
}

TEST_F(Verdicts, OtherBlockedTypesAreSwallowedEvenOverTheButtonAndTheRestPass) {
  const BlockedEventTypes blocked = defaultBlockedEventTypes();
  for (EventType type = 0; type < 70; ++type) {
    if (std::ranges::find(kPointerTypes, type) != kPointerTypes.end()) continue;
    const TapVerdict expected = blocked.contains(type) ? TapVerdict::Swallow : TapVerdict::Pass;
    EXPECT_EQ(verdict(type, kOnButton), expected) << type;
  }
}

TEST_F(Verdicts, WithoutAButtonOnScreenTheMenuBarStripsLetClicksThrough) {
  rig.button->inWindow = false;
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::Pass);
  EXPECT_EQ(verdict(kLeftMouseDown, kFarAway), TapVerdict::Swallow);
  rig.button.reset();
  EXPECT_EQ(verdict(kScrollWheel, kInTheStrip), TapVerdict::Pass);
  EXPECT_EQ(verdict(kKeyDown, kInTheStrip), TapVerdict::Swallow);
  rig.screens.frames.clear();
  EXPECT_EQ(verdict(kLeftMouseDown, kOnButton), TapVerdict::Swallow);
}

TEST_F(Verdicts, ScreensAreAskedForEachEventAndCutToTheFirst32) {
  rig.button.reset();
  rig.screens.frames = screensSideBySide(2);
  EXPECT_EQ(verdict(kLeftMouseDown, {1500, 10}), TapVerdict::Pass);
  rig.screens.frames.assign(kMaxScreens, makeRect(-5000, 0, 10, 10));
  rig.screens.frames.push_back(kMainScreen);
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::Swallow);
}

TEST_F(Verdicts, EverythingPassesWhileUnlocked) {
  controller.unlock();
  for (EventType type = 0; type < 64; ++type) {
    EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Pass) << type;
  }
}

// ---- The privilege checks before a lock, the system's prompts, the alerts and
// the privacy panes they open.

const std::string kInputMonitoringPane =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent";
const std::string kAccessibilityPane =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

struct PermissionRig {
  fakes::FakePrivacyAccess privacy;
  fakes::FakeAlertPresenter alerts;
  fakes::FakeWorkspace workspace;
  InputPermissionController permissions{privacy, alerts, workspace};
};

struct GrantCase {
  bool accessibility;
  bool inputMonitoring;
  std::optional<bool> accessibilityAfterPrompt;
  std::optional<bool> inputMonitoringAfterRequest;
  Strings requests;                  // what the system is asked for, in order
  std::optional<std::string> title;  // of the permissions alert; nothing: no alert
};

TEST(PermissionCheck, PromptsForWhatIsMissingAndAlertsOnlyIfStillMissing) {
  const Strings both{"promptForAccessibility", "requestInputMonitoring"};
  const std::vector<GrantCase> cases{
      {true, true, {}, {}, {}, std::nullopt},
      {false, true, {}, {}, {"promptForAccessibility"}, "Hushpad needs Accessibility"},
      {true, false, {}, {}, {"requestInputMonitoring"}, "Hushpad needs Input Monitoring"},
      {false, false, {}, {}, both, "Hushpad needs Accessibility and Input Monitoring"},
      {false, true, true, {}, {"promptForAccessibility"}, std::nullopt},
      {false, false, true, true, both, std::nullopt},
      {false, false, true, {}, both, "Hushpad needs Input Monitoring"},
  };
  for (const GrantCase& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    PermissionRig rig;
    auto& [privacy, alerts, workspace, permissions] = rig;
    privacy.accessibilityTrusted = c.accessibility;
    privacy.inputMonitoringGranted = c.inputMonitoring;
    privacy.accessibilityAfterPrompt = c.accessibilityAfterPrompt;
    privacy.inputMonitoringAfterRequest = c.inputMonitoringAfterRequest;

    EXPECT_EQ(permissions.requestMissingPermissionsIfNeeded(), !c.title);
    Strings requests;
    std::ranges::copy_if(privacy.calls, std::back_inserter(requests),
                         [](const std::string& call) { return !call.starts_with("is"); });
    EXPECT_EQ(requests, c.requests);
    Strings titles;
    for (const AlertContent& alert : alerts.shown) titles.push_back(alert.title);
    EXPECT_EQ(titles, c.title ? Strings{*c.title} : Strings{});
    EXPECT_TRUE(workspace.opened.empty());
  }
}

// Only Accessibility is missing, yet the buttons and their panes stay the same.
TEST(PermissionCheck, AlertButtonsOpenTheirPaneAndTheAttemptFails) {
  const std::vector<std::pair<std::optional<std::size_t>, Strings>> cases{
      {0, {kInputMonitoringPane}}, {1, {kAccessibilityPane}}, {2, {}}, {7, {}}, {std::nullopt, {}}};
  for (const auto& [answer, panes] : cases) {
    SCOPED_TRACE(answer.value_or(99));
    PermissionRig rig;
    auto& [privacy, alerts, workspace, permissions] = rig;
    privacy.accessibilityTrusted = false;
    alerts.answers = {answer};
    EXPECT_FALSE(permissions.requestMissingPermissionsIfNeeded());
    EXPECT_EQ(workspace.opened, panes);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0],
              (AlertContent{"Hushpad needs Accessibility",
                            "Hushpad needs both Accessibility and Input Monitoring to block "
                            "keyboard, clicks, scrolls, and gestures. Enable the missing "
                            "permission, then quit and reopen Hushpad if macOS does not apply it "
                            "immediately.",
                            {"Open Input Monitoring", "Open Accessibility", "Cancel"}}));
  }
}

// The alert the lock controller shows when the system refuses the tap.
TEST(TapRefusedAlert, OpenSettingsOpensOnlyTheAccessibilityPane) {
  InputRig rig;
  rig.alerts.answers = {1, std::nullopt, 0};
  for (int i = 0; i < 3; ++i) rig.controller.showPermissionsAlert();
  EXPECT_EQ(rig.workspace.opened, Strings{kAccessibilityPane});
  ASSERT_EQ(rig.alerts.shown.size(), 3u);
  EXPECT_EQ(rig.alerts.shown[0],
            (AlertContent{"Hushpad needs input permissions",
                          "macOS blocked the event tap. Open System Settings and allow this app "
                          "under Privacy & Security -> Accessibility and Input Monitoring, then "
                          "relaunch it.",
                          {"Open Settings", "Cancel"}}));
}

}  // namespace
}  // namespace hushpad
