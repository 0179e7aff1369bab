// The lock state machine, the event tap's life, the verdict on each event, and
// the permission checks before each lock.

#include "input/input_lock_controller.h"

#include <gtest/gtest.h>

#include "input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;
using Bools = std::vector<bool>;
using Strings = std::vector<std::string>;

class LockTest : public ::testing::Test, protected InputRig {};

// A lock makes the tap disabled, then switches the gestures off and enables it;
// a second lock or unlock does nothing; the tap is made once.
TEST_F(LockTest, LockAndUnlockRunOnceEachAndReuseTheTap) {
  controller.lock();
  EXPECT_TRUE(controller.isLocked());
  EXPECT_EQ(masks, (std::vector<std::uint64_t>{0x65EE5C5CDE}));
  EXPECT_EQ(client, &controller);
  EXPECT_EQ(tap().enableCalls, (Bools{false, true}));
  EXPECT_TRUE(gesturesOff());
  const fakes::CallLog locked = log;
  controller.lock();
  EXPECT_EQ(log, locked);

  controller.unlock();
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(tap().enabled);
  EXPECT_TRUE(gesturesRestored());
  const fakes::CallLog unlocked = log;
  controller.unlock();
  EXPECT_EQ(log, unlocked);

  lockNow();
  EXPECT_EQ(masks.size(), 1u);
  EXPECT_EQ(tap().enableCalls, (Bools{false, true, false, true}));
  EXPECT_TRUE(alerts.empty());
}

// What stands in the way of a lock, a letter each: Accessibility missing (a)
// or granted at the prompt (A), Input Monitoring missing (m) or granted at the
// request (M), secure keyboard entry (s), the icon hidden (h), out of its
// window (w), pushed off screen (o) or behind the camera housing (c), the tap
// refused (r), made without key events (k), or unable to start because the
// input is held elsewhere (e); or a session that cannot be held at all (W).
void standInTheWay(InputRig& rig, const std::string& causes) {
  for (const char c : causes) {
    if (c == 'a') rig.access.accessibilityTrusted = false;
    if (c == 'A') rig.accessibilityAfterPrompt = true;
    if (c == 'm') rig.access.inputMonitoringGranted = false;
    if (c == 'M') rig.inputMonitoringAfterRequest = true;
    if (c == 's') rig.access.secureKeyboardEntry = true;
    if (c == 'h') rig.button->visible = false;
    if (c == 'w') rig.button->inWindow = false;
    if (c == 'o') rig.button->frame = makeRect(-30, 876, 24, 24);
    if (c == 'c') rig.housings = {makeRect(1010, 868, 200, 32)};
    if (c == 'r') rig.refuseCreation = true;
    if (c == 'k') rig.eventsOfInterest = ~(std::uint64_t{1} << kKeyDown);
    if (c == 'e') rig.refuseEnable = true;
    if (c == 'W') rig.access.sessionCanBeHeld = false;
  }
}

// A refused lock changes nothing and says why; the system is asked first for
// the privileges that are missing, and the alert's answer may open a privacy
// pane. A tap that cannot start has the gestures switched back on. Once the
// cause is gone the next lock of the same controller goes through, with a new
// tap unless the last one only failed to start.
TEST(RefusedLock, ChangesNothingSaysWhyAndTheNextLockGoesThrough) {
  const std::string pane = "x-apple.systempreferences:com.apple.preference.security?Privacy_";
  const std::string grants = " [Open Input Monitoring] [Open Accessibility] [Cancel]";
  const std::string accessibility = "Hushpad needs Accessibility" + grants;
  const std::string hidden = "Hushpad's icon is hidden [OK]";
  const std::string tapRefused = "Hushpad needs input permissions [Open Settings] [Cancel]";
  const Strings prompt{"promptForAccessibility"};
  const Strings both{"promptForAccessibility", "requestInputMonitoring"};
  struct Case {
    std::string causes;
    std::string alert;  // its title and buttons; empty: the lock goes through
    Strings requests = {};
    std::optional<std::size_t> answer = std::nullopt;  // the button; nothing: dismissed
    Strings panes = {};
    std::size_t taps = 0;  // made before the alert
  };
  // clang-format off
  const std::vector<Case> cases{
      {"a", accessibility, prompt},
      {"m", "Hushpad needs Input Monitoring" + grants, {"requestInputMonitoring"}},
      {"am", "Hushpad needs Accessibility and Input Monitoring" + grants, both},
      {"aA", "", prompt}, {"amAM", "", both},
      {"amA", "Hushpad needs Input Monitoring" + grants, both},
      {"a", accessibility, prompt, 0, {pane + "ListenEvent"}},
      {"a", accessibility, prompt, 1, {pane + "Accessibility"}},
      {"a", accessibility, prompt, 2}, {"a", accessibility, prompt, 7},  // Cancel, and no button
      {"amW", "Hushpad cannot lock the input here [OK]"},  // asks for nothing
      {"s", "Hushpad cannot lock the keyboard right now [OK]"},
      {"h", hidden}, {"w", hidden}, {"o", hidden}, {"c", hidden},
      {"r", tapRefused, {}, 0, {pane + "Accessibility"}, 1}, {"r", tapRefused, {}, 1, {}, 1},
      {"k", tapRefused, {}, std::nullopt, {}, 1},
      {"e", "Hushpad could not lock the input [OK]", {}, std::nullopt, {}, 1}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.causes + " answered " + std::to_string(c.answer.value_or(99)));
    InputRig rig;
    standInTheWay(rig, c.causes);
    rig.answers = {c.answer};
    rig.controller.lock();
    EXPECT_EQ(rig.controller.isLocked(), c.alert.empty());
    EXPECT_EQ(rig.alertTitles(), c.alert.empty() ? Strings{} : Strings{c.alert});
    Strings asked = fakes::linesOf(rig.log, "prompt"), later = fakes::linesOf(rig.log, "requestI");
    asked.insert(asked.end(), later.begin(), later.end());
    EXPECT_EQ(asked, c.requests);
    EXPECT_EQ(rig.opened, c.panes);
    if (c.alert.empty()) continue;
    EXPECT_EQ(rig.masks.size(), c.taps);
    const bool rolledBack = rig.gesturesRestored() && fakes::count(rig.log, "post ") == 8;
    EXPECT_TRUE(c.causes == "e" ? rolledBack : rig.gesturesUntouched());

    rig.access = fakes::NullPlatform().access;
    rig.button->visible = rig.button->inWindow = true;
    rig.button->frame = kButtonFrame;
    rig.housings.clear();
    rig.eventsOfInterest = ~std::uint64_t{0};
    rig.refuseCreation = false;
    if (c.causes == "e") rig.lastTap->refuseEnable = false;  // the only tap kept
    rig.lockNow();
    EXPECT_EQ(rig.masks.size(), c.taps + (c.causes == "e" ? 0 : 1));
  }
}

// While locked the session's power keys are held and screen lockers watched;
// a lock that could not start holds nothing. A screen locker that starts
// unlocks at once, without a word even about an unreadable backup, and the
// owner hears of it; while unlocked it changes nothing.
TEST_F(LockTest, SessionIsHeldWhileLockedAndAScreenLockerAlwaysWins) {
  const auto sessionCalls = [&] {
    Strings calls = log;
    std::erase_if(calls, [](auto& c) { return !c.ends_with("watch") && !c.ends_with("Keys"); });
    return calls;
  };
  lockNow();
  controller.unlock();
  EXPECT_EQ(sessionCalls(), (Strings{"holdPowerKeys", "watch", "unwatch", "releasePowerKeys"}));
  lastTap->refuseEnable = true;
  answers = {0};
  controller.lock();
  EXPECT_EQ(sessionCalls().size(), 4u);

  lastTap->refuseEnable = false;
  lockNow();
  EXPECT_EQ(listener, &controller);
  entries[kGestureBackupDefaultsKey] = Bytes{'['};  // unreadable by now
  alerts.clear();
  controller.screenLockerStarting();
  EXPECT_FALSE(controller.isLocked() || tap().enabled);
  EXPECT_EQ(sessionCalls().back(), "releasePowerKeys");
  EXPECT_EQ(listener, nullptr);
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(forcedUnlocks, 1);
  controller.screenLockerStarting();
  EXPECT_EQ(forcedUnlocks, 1);
}

// Sends both notices the system gives when it switches the tap off; they pass.
void notifyTapDisabled(InputLockController& controller) {
  for (EventType notice : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(controller.eventTapCallback(notice, {0, 0}), TapVerdict::Pass);
  }
}

// When the system switches the tap off, it goes straight back on while locked.
// With Accessibility gone, or a tap that will not go back on, the lock no longer
// holds: the controller unlocks on the next main-loop pass, once however many
// notices came, and tells its owner; not if the user unlocked first. Unlocked,
// or before any tap, the notices change nothing.
TEST(ForcedUnlock, FollowsLostAccessibilityOrATapThatStaysOff) {
  struct Case {
    bool accessibility, tapStaysOff, userUnlocksFirst;
  };
  for (const Case c : {Case{true, false, false}, Case{false, false, false}, Case{true, true, false},
                       Case{false, false, true}}) {
    SCOPED_TRACE(::testing::Message() << c.accessibility << c.tapStaysOff << c.userUnlocksFirst);
    InputRig rig;
    notifyTapDisabled(rig.controller);
    rig.lockNow();
    rig.access.accessibilityTrusted = c.accessibility;
    rig.tap().refuseEnable = c.tapStaysOff;
    notifyTapDisabled(rig.controller);
    notifyTapDisabled(rig.controller);
    const bool on = c.accessibility;  // put back on only while Accessibility holds
    EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, on, on, on, on}));
    EXPECT_TRUE(rig.controller.isLocked());

    if (c.userUnlocksFirst) rig.controller.unlock();
    rig.runPending();
    const bool holds = c.accessibility && !c.tapStaysOff && !c.userUnlocksFirst;
    EXPECT_EQ(rig.controller.isLocked() || rig.tap().enabled, holds);
    EXPECT_EQ(rig.gesturesRestored(), !holds);
    EXPECT_EQ(rig.forcedUnlocks, holds || c.userUnlocksFirst ? 0 : 1);
    rig.controller.unlock();
    const Bools calls = rig.tap().enableCalls;
    notifyTapDisabled(rig.controller);
    EXPECT_EQ(rig.tap().enableCalls, calls);
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

// A button that is out of its window, covered, behind the camera housing or
// gone while locked counts as no button: the menu-bar strips let clicks and
// scrolls through instead. The screens are asked for each event and cut to the
// first 32.
TEST_F(Verdicts, WithoutAReachableButtonTheMenuBarStripsLetClicksThrough) {
  for (int way = 0; way < 4; ++way) {
    button->inWindow = way != 0;
    button->visible = way != 1;
    housings = {way == 2 ? makeRect(990, 870, 100, 30) : kNullRect};
    if (way == 3) button.reset();
    EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::PassToStatusItem) << way;
    EXPECT_EQ(verdict(kScrollWheel, kInTheStrip), TapVerdict::PassToStatusItem) << way;
    EXPECT_EQ(verdict(kLeftMouseDown, kFarAway), TapVerdict::Swallow) << way;
    EXPECT_EQ(verdict(kKeyDown, kInTheStrip), TapVerdict::Swallow) << way;
  }
  frames.assign(kMaxScreens, makeRect(-5000, 0, 10, 10));
  frames.push_back(kMainScreen);
  EXPECT_EQ(verdict(kLeftMouseDown, kInTheStrip), TapVerdict::Swallow);
  frames.clear();
  EXPECT_EQ(verdict(kLeftMouseDown, kOnButton), TapVerdict::Swallow);
}

}  // namespace
}  // namespace hushpad
