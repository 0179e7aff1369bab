// The lock state machine, the event tap's life, the verdict on each event, and
// the permission checks before each lock.

#include "input/input_lock_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;
using Alerts = std::vector<AlertContent>;
using Bools = std::vector<bool>;
using Strings = std::vector<std::string>;

const std::string kPane = "x-apple.systempreferences:com.apple.preference.security?Privacy_";
const std::string kAccessibilityPane = kPane + "Accessibility";

AlertContent permissionsAlert(std::string title) {
  return {std::move(title),
          "Hushpad needs both Accessibility and Input Monitoring to block keyboard, clicks, "
          "scrolls, and gestures. Enable the missing permission, then quit and reopen Hushpad if "
          "macOS does not apply it immediately.",
          {"Open Input Monitoring", "Open Accessibility", "Cancel"}};
}
const AlertContent kTapRefused{
    "Hushpad needs input permissions",
    "macOS blocked the event tap. Open System Settings and allow this app under Privacy & "
    "Security -> Accessibility and Input Monitoring, then relaunch it.",
    {"Open Settings", "Cancel"}};
const AlertContent kInputHeldElsewhere{
    "Hushpad could not lock the input",
    "Another application is holding the keyboard or the pointer. Try again in a moment.",
    {"OK"}};

class LockTest : public ::testing::Test, protected InputRig {};

// A lock makes the tap disabled, then switches the gestures off and enables it;
// a second lock or unlock does nothing; the tap is made once.
TEST_F(LockTest, LockAndUnlockRunOnceEachAndReuseTheTap) {
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_EQ(eventTaps.masks, (std::vector<std::uint64_t>{0x65EE5C5CDE}));
  EXPECT_EQ(eventTaps.client, &controller);
  EXPECT_EQ(tap().enableCalls, (Bools{false, true}));
  EXPECT_TRUE(gesturesOff());
  const auto calls = [&] { return std::pair(privacy.calls, gestureCalls()); };
  const auto locked = calls();
  controller.lock();
  EXPECT_EQ(calls(), locked);

  controller.unlock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(tap().enabled);
  EXPECT_TRUE(gesturesRestored());
  const auto unlocked = calls();
  controller.unlock();
  EXPECT_EQ(calls(), unlocked);

  lockNow();
  EXPECT_EQ(eventTaps.masks.size(), 1u);
  EXPECT_EQ(tap().enableCalls, (Bools{false, true, false, true}));
  EXPECT_TRUE(alerts.shown.empty());
}

// Three refused attempts, answered Cancel, dismissed and Open Settings: only the
// last opens a pane, the Accessibility one.
TEST_F(LockTest, RefusedTapShowsItsAlertLeavesTheGesturesAndTheNextLockTriesAgain) {
  eventTaps.refuseCreation = true;
  alerts.answers = {1, std::nullopt, 0};
  for (int i = 0; i < 3; ++i) controller.lock();
  EXPECT_FALSE(controller.isLocked() || controller.hasEventTap());
  EXPECT_EQ(alerts.shown, (Alerts{kTapRefused, kTapRefused, kTapRefused}));
  EXPECT_EQ(workspace.opened, Strings{kAccessibilityPane});
  EXPECT_TRUE(gestureCalls().empty());
  eventTaps.refuseCreation = false;
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
}

TEST_F(LockTest, TapThatCannotStartRollsTheLockBackUntilTheInputIsFree) {
  eventTaps.refuseEnable = true;
  controller.lock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_EQ(tap().enableCalls, (Bools{false, true, false}));
  EXPECT_TRUE(gesturesRestored());
  EXPECT_EQ(fakes::count(gestureCalls(), "post "), 8u);  // switched off, then back on
  EXPECT_EQ(alerts.shown, Alerts{kInputHeldElsewhere});
  EXPECT_TRUE(workspace.opened.empty());
  EXPECT_TRUE(mainQueue.pending.empty());
  tap().refuseEnable = false;
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_TRUE(gesturesOff());
}

// Locks refused before anything changes: secure keyboard entry on, an icon
// that cannot be clicked, a tap that would not see every blocked type. Once
// the cause is gone the next lock goes through (with a new tap where the last
// was short of types).
TEST(RefusedLock, WhenKeysWouldLeakOrTheIconCannotBeClicked) {
  const std::string hidden = "Hushpad's icon is hidden";
  const std::string privacy = "Hushpad needs input permissions";
  struct Case {
    const char* name;
    void (*cause)(InputRig&);
    std::string title;
    std::size_t tapsMade;
  };
  const std::vector<Case> cases{
      {"secure keyboard entry", [](InputRig& r) { r.privacy.secureKeyboardEntry = true; },
       "Hushpad cannot lock the keyboard right now", 0},
      {"item hidden", [](InputRig& r) { r.button->visible = false; }, hidden, 0},
      {"no window", [](InputRig& r) { r.button->inWindow = false; }, hidden, 0},
      {"pushed off screen", [](InputRig& r) { r.button->frame = makeRect(-30, 876, 24, 24); },
       hidden, 0},
      {"behind the camera housing",
       [](InputRig& r) { r.screens.housings = {makeRect(1010, 868, 200, 32)}; }, hidden, 0},
      {"a tap without key events",
       [](InputRig& r) { r.eventTaps.eventsOfInterest = ~(std::uint64_t{1} << kKeyDown); }, privacy,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InputRig rig;
    c.cause(rig);
    rig.controller.lock();
    EXPECT_FALSE(rig.controller.isLocked());
    ASSERT_EQ(rig.alerts.shown.size(), 1u);
    EXPECT_EQ(rig.alerts.shown[0].title, c.title);
    EXPECT_EQ(rig.eventTaps.masks.size(), c.tapsMade);
    EXPECT_TRUE(rig.gestureCalls().empty());

    // The same controller once the cause is gone.
    rig.privacy.secureKeyboardEntry = false;
    rig.button->visible = rig.button->inWindow = true;
    rig.button->frame = kButtonFrame;
    rig.screens.housings.clear();
    rig.eventTaps.eventsOfInterest = ~std::uint64_t{0};
    rig.lockNow();
    EXPECT_EQ(rig.eventTaps.masks.size(), c.tapsMade + 1);
  }
}

// While locked the session's power keys are held and screen lockers watched;
// a lock that could not start holds nothing. A screen locker that starts
// unlocks at once, without a word even about an unreadable backup, and the
// owner hears of it; while unlocked it changes nothing.
TEST(LoginSession, IsHeldWhileLockedAndAScreenLockerAlwaysWins) {
  InputRig rig;
  int forcedUnlocks = 0;
  rig.controller.setForcedUnlockHandler([&] { ++forcedUnlocks; });
  rig.lockNow();
  rig.controller.unlock();
  EXPECT_EQ(rig.session.calls,
            (Strings{"holdPowerKeys", "watch", "unwatch", "releasePowerKeys"}));
  rig.eventTaps.lastTap->refuseEnable = true;
  rig.alerts.answers = {0};
  rig.controller.lock();
  EXPECT_EQ(rig.session.calls.size(), 4u);

  rig.eventTaps.lastTap->refuseEnable = false;
  rig.lockNow();
  EXPECT_EQ(rig.session.listener, &rig.controller);
  rig.userDefaults.entries[kGestureBackupDefaultsKey] = Bytes{'['};  // unreadable by now
  rig.alerts.shown.clear();
  rig.controller.screenLockerStarting();
  EXPECT_FALSE(rig.controller.isLocked() || rig.tap().enabled);
  EXPECT_EQ(rig.session.calls.back(), "releasePowerKeys");
  EXPECT_EQ(rig.session.listener, nullptr);
  EXPECT_TRUE(rig.alerts.shown.empty());
  EXPECT_EQ(forcedUnlocks, 1);
  rig.controller.screenLockerStarting();
  EXPECT_EQ(forcedUnlocks, 1);
}

// Sends both notices the system gives when it switches the tap off; they pass.
void notifyTapDisabled(InputLockController& controller) {
  for (EventType notice : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(controller.eventTapCallback(notice, {0, 0}), TapVerdict::Pass);
  }
}

TEST_F(LockTest, DisabledTapGoesBackOnAtOnceOnlyWhileLocked) {
  notifyTapDisabled(controller);  // no tap yet
  lockNow();
  notifyTapDisabled(controller);
  EXPECT_EQ(tap().enableCalls, (Bools{false, true, true, true}));
  controller.unlock();
  notifyTapDisabled(controller);
  EXPECT_EQ(tap().enableCalls, (Bools{false, true, true, true, false}));
  EXPECT_TRUE(mainQueue.pending.empty());
}

// With Accessibility gone, or a tap that will not go back on, the lock no longer
// holds: the controller unlocks on the next main-loop pass, once however many
// notices came, and tells its owner; not if the user unlocked first.
TEST(ForcedUnlock, FollowsLostAccessibilityOrATapThatStaysOff) {
  for (const auto& [tapStaysOff, userUnlocksFirst] :
       {std::pair{false, false}, std::pair{true, false}, std::pair{false, true}}) {
    SCOPED_TRACE(::testing::Message() << tapStaysOff << userUnlocksFirst);
    InputRig rig;
    int forcedUnlocks = 0;
    rig.controller.setForcedUnlockHandler([&] { ++forcedUnlocks; });
    rig.lockNow();
    rig.privacy.accessibilityTrusted = tapStaysOff;
    rig.tap().refuseEnable = tapStaysOff;
    notifyTapDisabled(rig.controller);
    notifyTapDisabled(rig.controller);
    const bool retried = tapStaysOff;  // only while Accessibility holds
    EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, retried, retried, retried, retried}));
    EXPECT_TRUE(rig.controller.isLocked());

    if (userUnlocksFirst) rig.controller.unlock();
    rig.mainQueue.runPending();
    EXPECT_FALSE(rig.controller.isLocked() || rig.tap().enabled);
    EXPECT_TRUE(rig.gesturesRestored());
    EXPECT_EQ(forcedUnlocks, userUnlocksFirst ? 0 : 1);
  }
}

// Verdicts while locked, with the button at the top of the main screen.
class Verdicts : public LockTest {
 protected:
  void SetUp() override { lockNow(); }
  TapVerdict verdict(EventType type, Point at) { return controller.eventTapCallback(type, at); }
  static constexpr Point kFarAway{200, 400};
  static constexpr Point kInTheStrip{100, 12};  // away from the button
};

// Clicks, drags and scrolls pass near the button; keys, gestures and the rest
// of the blocked types are swallowed even over it; other types pass anywhere,
// and everything passes once unlocked.
TEST_F(Verdicts, OnlyPointerEventsNearTheButtonAndUnblockedTypesPass) {
  const std::vector<EventType> pointerTypes{1, 2, 3, 4, 6, 7, 22, 25, 26, 27};
  const BlockedEventTypes blocked = defaultBlockedEventTypes();
  for (EventType type = 0; type < 70; ++type) {
    const TapVerdict held = blocked.contains(type) ? TapVerdict::Swallow : TapVerdict::Pass;
    const TapVerdict near =
        std::ranges::count(pointerTypes, type) ? TapVerdict::PassToStatusItem : held;
    EXPECT_EQ(verdict(type, kOnButton), near) << type;
    EXPECT_EQ(verdict(type, kInTheStrip), held) << type;
    EXPECT_EQ(verdict(type, kFarAway), held) << type;
  }
  controller.unlock();
  for (EventType type = 0; type < 64; ++type) EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Pass);
}

// Without a button on screen the menu-bar strips let clicks through; the
// screens are asked for each event and cut to the first 32.
TEST_F(Verdicts, WithoutAButtonOnScreenTheMenuBarStripsLetClicksThrough) {
  button->inWindow = false;
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::PassToStatusItem);
  EXPECT_EQ(verdict(kLeftMouseDown, kFarAway), TapVerdict::Swallow);
  button.reset();
  EXPECT_EQ(verdict(kScrollWheel, kInTheStrip), TapVerdict::PassToStatusItem);
  EXPECT_EQ(verdict(kKeyDown, kInTheStrip), TapVerdict::Swallow);
  screens.frames.assign(kMaxScreens, makeRect(-5000, 0, 10, 10));
  screens.frames.push_back(kMainScreen);
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::Swallow);
  screens.frames.clear();
  EXPECT_EQ(verdict(kLeftMouseDown, kOnButton), TapVerdict::Swallow);
}

// A button that stops being reachable while locked (covered, moved behind the
// camera housing) counts as no button: the strips decide.
TEST_F(Verdicts, AnUnreachableButtonGivesWayToTheStrips) {
  for (const bool covered : {true, false}) {
    button->visible = !covered;
    screens.housings = {covered ? kNullRect : makeRect(990, 870, 100, 30)};
    EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::PassToStatusItem);
  }
}

// ---- The privilege checks before each lock: the system's prompts, the alert
// and the privacy panes its buttons open.

struct GrantCase {
  bool accessibility;
  bool inputMonitoring;
  std::optional<bool> accessibilityAfterPrompt;
  std::optional<bool> inputMonitoringAfterRequest;
  Strings requests;                  // what the system is asked for, in order
  std::optional<std::string> title;  // of the permissions alert; nothing: no alert, locked
  std::optional<std::size_t> answer = std::nullopt;  // the alert's button; nothing: dismissed
  Strings panes = {};
};

TEST(PermissionCheck, PromptsForWhatIsMissingAndAlertsAndStaysUnlockedIfStillMissing) {
  const Strings both{"promptForAccessibility", "requestInputMonitoring"};
  const Strings accessibility{"promptForAccessibility"};
  const std::string needsAccessibility = "Hushpad needs Accessibility";
  const std::vector<GrantCase> cases{
      {true, true, {}, {}, {}, std::nullopt},
      {false, true, {}, {}, accessibility, needsAccessibility},
      {true, false, {}, {}, {"requestInputMonitoring"}, "Hushpad needs Input Monitoring"},
      {false, false, {}, {}, both, "Hushpad needs Accessibility and Input Monitoring"},
      {false, true, true, {}, accessibility, std::nullopt},
      {false, false, true, true, both, std::nullopt},
      {false, false, true, {}, both, "Hushpad needs Input Monitoring"},
      // Whatever is missing, each button opens its own pane.
      {false, true, {}, {}, accessibility, needsAccessibility, 0, {kPane + "ListenEvent"}},
      {false, true, {}, {}, accessibility, needsAccessibility, 1, {kAccessibilityPane}},
      {false, true, {}, {}, accessibility, needsAccessibility, 2},  // Cancel
      {false, true, {}, {}, accessibility, needsAccessibility, 7},
  };
  for (const GrantCase& c : cases) {
    SCOPED_TRACE(&c - cases.data());
    InputRig rig;
    rig.privacy.accessibilityTrusted = c.accessibility;
    rig.privacy.inputMonitoringGranted = c.inputMonitoring;
    rig.privacy.accessibilityAfterPrompt = c.accessibilityAfterPrompt;
    rig.privacy.inputMonitoringAfterRequest = c.inputMonitoringAfterRequest;
    rig.alerts.answers = {c.answer};

    rig.controller.lock();
    EXPECT_EQ(rig.controller.isLocked(), !c.title);
    std::erase_if(rig.privacy.calls,
                  [](const std::string& call) { return call == "inputAccess"; });
    EXPECT_EQ(rig.privacy.calls, c.requests);
    EXPECT_EQ(rig.alerts.shown, c.title ? Alerts{permissionsAlert(*c.title)} : Alerts{});
    EXPECT_EQ(rig.workspace.opened, c.panes);
    EXPECT_EQ(rig.eventTaps.masks.empty(), c.title.has_value()) << "no tap before the grants";
  }
}

}  // namespace
}  // namespace hushpad
