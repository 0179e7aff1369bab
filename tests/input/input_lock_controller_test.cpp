// The lock state machine, the event tap's life, the verdict on each event, and
// the permission checks before each lock.

#include "input/input_lock_controller.h"

#include <string_view>

#include <gtest/gtest.h>

#include "input/keyboard_record.h"
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
// a lock that could not start holds nothing.
TEST_F(LockTest, SessionIsHeldWhileLocked) {
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
  EXPECT_EQ(listener, nullptr);
}

// Another program that wants the input gets it at once: the lock lets go and
// still shows "locked", with the settings off and the power keys held. It
// takes the input back when nobody took it within the grace, or, once
// somebody has, when the input is free again: at a sign that it may be, or
// at the try made once a second while paused. Unlocking works while paused;
// signs while unlocked change nothing.
TEST(OtherProgramWantsTheInput, GetsItAndTheLockTakesItBackOnceFree) {
  InputRig rig;
  rig.controller.inputWantedElsewhere();
  rig.controller.inputMayBeFree();
  EXPECT_TRUE(rig.later.empty() && rig.masks.empty());
  rig.controller.lock(Point{500, 450});
  const fakes::CallLog held = fakes::linesOf(rig.log, "holdPowerKeys");

  // A locker that takes the input and keeps it until the screen is unlocked.
  rig.controller.inputWantedElsewhere();
  EXPECT_TRUE(rig.controller.isLocked() && rig.controller.isPaused());
  EXPECT_FALSE(rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesOff() && rig.mark.has_value());
  EXPECT_EQ(rig.listener, &rig.controller);
  EXPECT_EQ(fakes::count(rig.log, "releasePowerKeys"), 0u);
  rig.controller.inputMayBeFree();  // within the grace: the locker may still come
  rig.tap().refuseEnable = true;
  for (int second = 0; second < 10; ++second) rig.aSecondPasses();
  EXPECT_TRUE(rig.controller.isPaused());
  EXPECT_EQ(rig.later.size(), 1u);  // one try a second
  rig.tap().refuseEnable = false;
  rig.controller.inputMayBeFree();  // the locker let go
  EXPECT_FALSE(rig.controller.isPaused());
  EXPECT_TRUE(rig.tap().enabled);
  rig.aSecondPasses();
  EXPECT_TRUE(rig.later.empty());  // nothing runs while the input is held

  // A used grace spends nothing: the locker that locks again gets its grace.
  rig.controller.inputWantedElsewhere();
  EXPECT_TRUE(rig.controller.isPaused());

  // A click on the mark while paused unlocks, and the pause's tries end.
  rig.controller.unlock();
  EXPECT_FALSE(rig.controller.isLocked() || rig.controller.isPaused());
  EXPECT_TRUE(rig.gesturesRestored());
  for (int second = 0; second < 5; ++second) rig.aSecondPasses();
  EXPECT_FALSE(rig.tap().enabled);
  EXPECT_TRUE(rig.later.empty());
  EXPECT_EQ(fakes::linesOf(rig.log, "keepOnTop"),
            (Strings{"keepOnTop false", "keepOnTop true", "keepOnTop false"}));
  EXPECT_EQ(held.size(), 1u);
  EXPECT_EQ(rig.forcedUnlocks, 0);
}

// Whatever signs come, the input is free at most 3 s in any 30 s unless a
// program holds it: a sign opens one grace, signs during it extend nothing,
// and after a grace nobody used no sign opens another for 30 s from its
// start. A program that holds the input, the machine going to sleep, or a
// new lock are not held to that. Each case gives a sign (S), a sleep sign
// (Z), a program holding the input (H, until R releases it), at most one per
// second, and reads how many of its seconds the input was free while no
// program held it.
std::string repeated(const std::string& part, int times) {
  std::string whole;
  for (int i = 0; i < times; ++i) whole += part;
  return whole;
}

TEST(OtherProgramWantsTheInput, TheGraceIsBounded) {
  struct Case {
    const char* name;
    std::string seconds;  // one letter a second: S, Z, H, R, L (lock anew) or '.'
    int freeSeconds;
    bool pausedAtEnd;
  };
  const Case cases[] = {
      {"a sign every 2 s", repeated("S.", 10), 3, false},
      {"signs that stop, then one 30 s after the first", "S.S.S.S" + repeated(".", 23) + "S...",
       6, false},
      {"a sign 29 s after the first", "S" + repeated(".", 28) + "S.....", 3, false},
      {"a sign 30 s after the first", "S" + repeated(".", 29) + "S....", 6, false},
      {"a holder that lets go, then signs again", "SH...R.S....", 4, false},
      {"a holder that keeps it", "SH..........", 1, true},
      {"sleep signs are never refused", "S...Z...Z...", 9, false},
      {"a new lock starts a whole budget", "S...L.S...", 6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InputRig rig;
    rig.lockNow();
    bool holding = false;
    int freeSeconds = 0;
    for (char second : c.seconds) {
      switch (second) {
        case 'S': rig.controller.inputWantedElsewhere(); break;
        case 'Z': rig.controller.machineGoingToSleep(); break;
        case 'H': holding = true; rig.tap().refuseEnable = true; break;
        case 'R':
          holding = false;
          rig.tap().refuseEnable = false;
          rig.controller.inputMayBeFree();
          break;
        case 'L':
          rig.controller.unlock();
          rig.lockNow();
          break;
        default: break;
      }
      if (!holding && !rig.tap().enabled) ++freeSeconds;
      rig.aSecondPasses();
    }
    EXPECT_EQ(freeSeconds, c.freeSeconds);
    EXPECT_EQ(rig.controller.isPaused(), c.pausedAtEnd);
    EXPECT_TRUE(rig.controller.isLocked());
  }
}

// Only a grab request that looks like a screen locker's opens a grace: the
// keyboard, for the root window or a shield over a whole monitor. A
// pointer-only request (xprop picking a window) or one for an ordinary
// window (a VM viewer, a game) frees nothing.
TEST(OtherProgramWantsTheInput, OnlyALockersGrabRequestIsASign) {
  struct Case {
    GrabRequest request;
    bool pauses;
  };
  const Case cases[] = {
      {{.keyboard = true, .onRootWindow = true}, true},
      {{.keyboard = true, .onMonitorCover = true}, true},
      {{.keyboard = true}, false},
      {{.keyboard = false, .onRootWindow = true}, false},
      {{.keyboard = false, .onMonitorCover = true}, false},
      {{}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.request.keyboard << c.request.onRootWindow
                                    << c.request.onMonitorCover);
    InputRig rig;
    rig.lockNow();
    rig.controller.grabRequested(c.request);
    EXPECT_EQ(rig.controller.isPaused(), c.pauses);
    EXPECT_EQ(rig.tap().enabled, !c.pauses);
  }
}

// Input that is gone already (another program took the keyboard from the
// lock) pauses without a grace and whatever the budget, letting go of
// nothing it still holds: the lock takes it back as soon as it is free.
TEST(OtherProgramWantsTheInput, InputTakenIsRetakenOnceFree) {
  InputRig rig;
  rig.lockNow();
  rig.controller.inputWantedElsewhere();
  for (int second = 0; second < 3; ++second) rig.aSecondPasses();
  ASSERT_FALSE(rig.controller.isPaused());  // an unused grace: the budget is spent
  rig.tap().refuseEnable = true;
  rig.controller.inputTakenElsewhere();
  EXPECT_TRUE(rig.controller.isPaused() && rig.controller.isLocked());
  EXPECT_TRUE(rig.tap().enabled);  // what the lock still holds it keeps
  rig.aSecondPasses();
  EXPECT_TRUE(rig.controller.isPaused());
  rig.tap().refuseEnable = false;
  rig.controller.inputMayBeFree();
  EXPECT_FALSE(rig.controller.isPaused());
  EXPECT_TRUE(rig.tap().enabled);
  // Without a sign that it is free, the try made once a second takes it back.
  rig.controller.inputTakenElsewhere();
  rig.aSecondPasses();
  EXPECT_FALSE(rig.controller.isPaused());
}

// Sends both notices the system gives when it switches the tap off; they pass.
void notifyTapDisabled(InputLockController& controller) {
  for (EventType notice : {kEventTapDisabledByTimeout, kEventTapDisabledByUserInput}) {
    EXPECT_EQ(controller.eventTapCallback(notice, {0, 0}), TapVerdict::Pass);
  }
}

// When the system switches the tap off, it goes straight back on while locked,
// without the system being asked anything inside the callback. With
// Accessibility gone, or a tap that will not go back on, the lock no longer
// holds: the controller finds out and unlocks on the next main-loop pass, once
// however many notices came, and tells its owner; not if the user unlocked
// first, nor in a lock begun since. Unlocked, or before any tap, the notices
// change nothing.
TEST(ForcedUnlock, FollowsLostAccessibilityOrATapThatStaysOff) {
  struct Case {
    bool accessibility, tapStaysOff, userUnlocksFirst, locksAgain;
  };
  for (const Case c : {Case{true, false, false, false}, Case{false, false, false, false},
                       Case{true, true, false, false}, Case{false, false, true, false},
                       Case{true, true, true, true}}) {
    SCOPED_TRACE(::testing::Message() << c.accessibility << c.tapStaysOff << c.userUnlocksFirst
                                      << c.locksAgain);
    InputRig rig;
    notifyTapDisabled(rig.controller);
    rig.lockNow();
    rig.access.accessibilityTrusted = c.accessibility;
    rig.tap().refuseEnable = c.tapStaysOff;
    const std::size_t asked = fakes::count(rig.log, "inputAccess");
    notifyTapDisabled(rig.controller);
    notifyTapDisabled(rig.controller);
    EXPECT_EQ(fakes::count(rig.log, "inputAccess"), asked);
    EXPECT_EQ(rig.tap().enableCalls, (Bools{false, true, true, true, true, true}));
    EXPECT_TRUE(rig.controller.isLocked());

    if (c.userUnlocksFirst) rig.controller.unlock();
    if (c.locksAgain) {  // with the tap and Accessibility back
      rig.access.accessibilityTrusted = true;
      rig.tap().refuseEnable = false;
      rig.lockNow();
    }
    rig.runPending();
    const bool holds = (c.accessibility && !c.tapStaysOff && !c.userUnlocksFirst) || c.locksAgain;
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
// Locations are as the tap delivers them: y runs down from the main screen's top.
class Verdicts : public LockTest {
 protected:
  void SetUp() override { lockNow(); }
  TapVerdict verdict(EventType type, Point at) { return controller.eventTapCallback(type, at); }
  static constexpr Point kFarAway{200, 400};
  static constexpr Point kInTheStrip{100, 12};  // away from the button
  static constexpr Point kMirror{1012, kScreenHeight - 12};  // the button's place, upside down
};

// Every blocked type is swallowed wherever it is, near the button too; only a
// left or right release within 12 points of it unlocks. Other types pass, and
// everything passes once unlocked.
TEST_F(Verdicts, OnlyALeftOrRightReleaseNearTheButtonUnlocks) {
  const BlockedEventTypes blocked = defaultBlockedEventTypes();
  for (EventType type = 0; type < 70; ++type) {
    const TapVerdict held = blocked.contains(type) ? TapVerdict::Swallow : TapVerdict::Pass;
    const bool release = type == kLeftMouseUp || type == kRightMouseUp;
    EXPECT_EQ(verdict(type, kOnButton), release ? TapVerdict::Unlock : held) << type;
    for (const Point p : {kInTheStrip, kFarAway, kMirror}) EXPECT_EQ(verdict(type, p), held) << type;
  }
  struct Place {
    Point at;
    bool unlocks;
  };
  for (const Place c : {Place{{988, 12}, true}, Place{{987.5, 12}, false},  // 12 and 12.5 left
                        Place{{1036, 12}, true}, Place{{1036.5, 12}, false},
                        Place{{1012, 36}, true}, Place{{1012, 36.5}, false},  // below
                        Place{{1012, -12}, true}, Place{{1012, -12.5}, false}}) {
    EXPECT_EQ(verdict(kRightMouseUp, c.at), c.unlocks ? TapVerdict::Unlock : TapVerdict::Swallow)
        << c.at.x << "," << c.at.y;
  }
  controller.unlock();
  for (EventType type = 0; type < 64; ++type) EXPECT_EQ(verdict(type, kFarAway), TapVerdict::Pass);
}

// A button that is out of its window, covered, behind the camera housing or
// gone while locked is no target. With no mark either, a release in a
// menu-bar strip unlocks instead; with the mark shown, only the mark does.
// The screens are cut to the first 32, whether asked for at each event or kept
// from a reported change.
TEST(StripFallback, UnlocksOnlyWhileNeitherTheButtonNorTheMarkIsThere) {
  for (const bool markShown : {false, true}) {
    for (int way = 0; way < 4; ++way) {
      SCOPED_TRACE(::testing::Message() << markShown << way);
      InputRig rig;
      rig.refuseMark = !markShown;
      rig.lockNow();
      rig.button->inWindow = way != 0;
      rig.button->visible = way != 1;
      rig.housings = {way == 2 ? makeRect(990, 870, 100, 30) : kNullRect};
      if (way == 3) rig.button.reset();
      const auto verdict = [&](EventType type, Point at) {
        return rig.controller.eventTapCallback(type, at);
      };
      const TapVerdict inStrip = markShown ? TapVerdict::Swallow : TapVerdict::Unlock;
      EXPECT_EQ(verdict(kLeftMouseUp, {100, 12}), inStrip);
      EXPECT_EQ(verdict(kRightMouseUp, {100, 12}), inStrip);
      EXPECT_EQ(verdict(kLeftMouseDown, {100, 12}), TapVerdict::Swallow);
      EXPECT_EQ(verdict(kLeftMouseUp, {200, 400}), TapVerdict::Swallow);
      EXPECT_EQ(verdict(kLeftMouseUp, kOnButton), TapVerdict::Unlock);  // the mark, or the strip
    }
  }
  for (const bool snapshotScreens : {false, true}) {
    SCOPED_TRACE(snapshotScreens);
    InputRig rig(snapshotScreens);
    rig.refuseMark = true;
    rig.lockNow();
    rig.button.reset();
    rig.frames.assign(kMaxScreens, makeRect(-5000, 0, 10, 10));
    rig.frames.push_back(kMainScreen);
    rig.screensChanged();
    EXPECT_EQ(rig.controller.eventTapCallback(kLeftMouseUp, {100, 12}), TapVerdict::Swallow);
    rig.frames.clear();
    rig.screensChanged();
    EXPECT_EQ(rig.controller.eventTapCallback(kLeftMouseUp, kOnButton), TapVerdict::Swallow);
  }
}

// Where reading the screens allocates (macOS), the event path is answered from
// the screens as read last: each lock reads them afresh, as does each change
// the OS reports, and no event reads them. Seen through the strip of a second
// screen, the only place left to click.
TEST(ScreensAsRead, AreReadAtEachLockAndEachReportedChangeNeverByAnEvent) {
  InputRig rig(/*snapshotScreens=*/true);
  rig.refuseMark = true;
  const Rect second = makeRect(kScreenWidth, 0, 800, 600);
  const Point inItsStrip{kScreenWidth + 100, kScreenHeight - 588};
  const auto verdict = [&] { return rig.controller.eventTapCallback(kLeftMouseUp, inItsStrip); };
  rig.frames.push_back(second);  // not reported
  rig.lockNow();
  rig.button.reset();
  EXPECT_EQ(verdict(), TapVerdict::Unlock);
  EXPECT_EQ(rig.snapshot.refreshes, 1);

  rig.frames.pop_back();
  rig.screensChanged();
  EXPECT_EQ(verdict(), TapVerdict::Swallow);
  rig.frames.push_back(second);
  rig.screensChanged();
  EXPECT_EQ(verdict(), TapVerdict::Unlock);
  for (EventType type = 0; type < 64; ++type) rig.controller.eventTapCallback(type, inItsStrip);
  EXPECT_EQ(rig.snapshot.refreshes, 1);

  rig.controller.unlock();
  rig.button = std::make_shared<fakes::FakeStatusButton>();
  rig.button->frame = kButtonFrame;
  rig.controller.statusButton = rig.button;
  rig.frames.pop_back();  // not reported
  rig.lockNow();
  rig.button.reset();
  EXPECT_EQ(verdict(), TapVerdict::Swallow);
  EXPECT_EQ(rig.snapshot.refreshes, 2);
}

// The mark shows where the lock was asked for, with what its owner gives it,
// and stays there while the status item moves; a release on or near it
// unlocks, and so does one on the button while it can be reached. Every way
// of unlocking takes it away.
TEST(UnlockMark, StaysWhereItWasShownUntilEveryKindOfUnlock) {
  const KeyboardState asBefore = fakes::NullPlatform().keyboard;
  const Point lockPoint{500, 450};  // away from the button: behind a tray proxy
  const Rect place = makeRect(488, 438, 24, 24);
  const std::vector<std::function<void(InputRig&)>> unlocks{
      [](InputRig& rig) { rig.controller.unlock(); },
      [](InputRig& rig) { rig.controller.unlockForTermination(); },
      [](InputRig& rig) {
        rig.controller.inputWantedElsewhere();  // paused, then the mark clicked
        rig.controller.unlock();
      },
      [](InputRig& rig) {
        rig.access.accessibilityTrusted = false;
        rig.controller.eventTapCallback(kEventTapDisabledByTimeout, {});
        rig.runPending();
      }};
  for (std::size_t way = 0; way < unlocks.size(); ++way) {
    SCOPED_TRACE(way);
    InputRig rig;
    const auto image = std::make_shared<Image>();
    rig.controller.setUnlockMarkContent([&] { return UnlockMarkContent{image, "title", "tip", "label"}; });
    rig.controller.lock(lockPoint);
    ASSERT_TRUE(rig.controller.isLocked());
    EXPECT_EQ(rig.mark, place);
    EXPECT_EQ(rig.controller.unlockMarkFrame(), place);
    EXPECT_EQ(rig.markContent.image, image);
    EXPECT_EQ(rig.markContent.title + rig.markContent.toolTip + rig.markContent.accessibilityLabel,
              "titletiplabel");
    const auto verdict = [&](EventType type, Point at) {
      return rig.controller.eventTapCallback(type, at);
    };
    EXPECT_EQ(verdict(kLeftMouseUp, {500, 450}), TapVerdict::Unlock);
    EXPECT_EQ(verdict(kRightMouseUp, {476, 474}), TapVerdict::Unlock);  // 12 off two sides
    EXPECT_EQ(verdict(kLeftMouseUp, {475.5, 450}), TapVerdict::Swallow);
    EXPECT_EQ(verdict(kLeftMouseDown, {500, 450}), TapVerdict::Swallow);
    EXPECT_EQ(verdict(kLeftMouseUp, kOnButton), TapVerdict::Unlock);
    rig.button->frame = makeRect(400, 876, 24, 24);  // the item moved
    EXPECT_EQ(verdict(kLeftMouseUp, {500, 450}), TapVerdict::Unlock);
    EXPECT_EQ(rig.mark, place);

    // A wipe toggles Caps Lock and sticky keys under the lock; every unlock puts them back.
    rig.keyboard.capsLock = true;
    rig.keyboard.stickyKeys = true;
    unlocks[way](rig);
    EXPECT_EQ(rig.keyboard, asBefore);
    EXPECT_FALSE(rig.controller.isLocked());
    EXPECT_EQ(rig.mark, std::nullopt);
    EXPECT_EQ(rig.controller.unlockMarkFrame(), std::nullopt);
    EXPECT_EQ(fakes::count(rig.log, "hideUnlockMark"), 1u);
  }
  // An icon that cannot be clicked stands in no lock's way once the mark
  // can go where the user clicked.
  for (const char* cause : {"h", "w", "o", "c"}) {
    InputRig rig;
    standInTheWay(rig, cause);
    rig.controller.lock(lockPoint);
    EXPECT_TRUE(rig.controller.isLocked()) << cause;
    EXPECT_EQ(rig.mark, place) << cause;
  }
  // A lock that could not start shows no mark.
  InputRig refused;
  refused.refuseEnable = true;
  refused.controller.lock(lockPoint);
  EXPECT_EQ(fakes::count(refused.log, "showUnlockMark"), 0u);
  EXPECT_EQ(fakes::count(refused.log, "applyKeyboard"), 0u);
}

// A mark that no screen holds any more (its monitor unplugged while locked)
// is no target: the button, or without one the menu-bar strips, take over.
// A mark that would not show at all, with no button to click either, gives
// the lock up.
TEST(UnlockMark, OffEveryScreenOrNotShownGivesWayToWhatCanBeClicked) {
  InputRig rig;
  const auto verdict = [&](EventType type, Point at) {
    return rig.controller.eventTapCallback(type, at);
  };
  rig.controller.lock(Point{500, 450});
  rig.markNow = makeRect(2000, 438, 24, 24);  // on a second screen, gone now
  EXPECT_EQ(verdict(kLeftMouseUp, {2012, 450}), TapVerdict::Swallow);
  EXPECT_EQ(verdict(kLeftMouseUp, kOnButton), TapVerdict::Unlock);
  rig.button->visible = false;
  EXPECT_EQ(verdict(kLeftMouseUp, {100, 12}), TapVerdict::Unlock);
  rig.markNow.reset();  // where it was shown, on the main screen
  EXPECT_EQ(verdict(kLeftMouseUp, {100, 12}), TapVerdict::Swallow);
  EXPECT_EQ(verdict(kLeftMouseUp, {500, 450}), TapVerdict::Unlock);

  InputRig nothing;
  nothing.refuseMark = true;
  nothing.button->visible = false;
  nothing.controller.lock(Point{500, 450});
  EXPECT_FALSE(nothing.controller.isLocked() || nothing.tap().enabled);
  EXPECT_TRUE(nothing.gesturesRestored());
  EXPECT_EQ(nothing.alertTitles(), Strings{"Hushpad's icon is hidden [OK]"});
}

// A mark whose screen is unplugged while locked comes back where the pointer
// is, or, with the pointer unknown, on the screen nearest to where it was: the
// lock never keeps only invisible targets. A mark still on a screen stays.
TEST(UnlockMark, ComesBackOnAScreenWhenItsOwnIsUnplugged) {
  InputRig rig;
  rig.button->inWindow = false;
  const Rect second = makeRect(kScreenWidth, 0, 800, 600);
  rig.frames.push_back(second);
  rig.controller.lock(Point{kScreenWidth + 500, 300});
  EXPECT_EQ(rig.mark, makeRect(kScreenWidth + 488, 288, 24, 24));
  ASSERT_TRUE(rig.screensChanged);
  rig.screensChanged();  // nothing moved
  EXPECT_EQ(rig.mark, makeRect(kScreenWidth + 488, 288, 24, 24));

  rig.frames.pop_back();
  rig.pointer = Point{400, 300};
  rig.screensChanged();
  EXPECT_EQ(rig.mark, makeRect(388, 288, 24, 24));
  EXPECT_EQ(rig.controller.eventTapCallback(kLeftMouseUp, {400, kScreenHeight - 300}),
            TapVerdict::Unlock);

  rig.frames.push_back(second);
  rig.controller.unlock();
  rig.controller.lock(Point{kScreenWidth + 500, 300});
  rig.frames.pop_back();
  rig.pointer.reset();
  rig.screensChanged();
  ASSERT_TRUE(rig.mark);
  EXPECT_LE(rig.mark->origin.x + rig.mark->size.width, kScreenWidth);  // inside the main screen
  EXPECT_EQ(rig.mark->origin.y, 288);

  rig.controller.unlock();
  rig.screensChanged();  // unlocked: nothing is shown
  EXPECT_EQ(rig.mark, std::nullopt);
}

// Wayland's mark is drawn on the cover, which is down during a pause and
// refuses it then. A mark whose screen goes away during a pause is not lost:
// it comes back, where the pointer is then, once the input is held again; a
// mark still on a screen is left alone; an unlock meanwhile shows nothing.
TEST(UnlockMark, MovedDuringAPauseByACoverThatIsDownComesBackWithTheInput) {
  struct Case {
    const char* what;
    bool unplugMarksScreen;
    bool unlockDuringPause;
    std::optional<Rect> markAfterResume;
  };
  const Rect second = makeRect(kScreenWidth, 0, 800, 600);
  const Rect onSecond = makeRect(kScreenWidth + 488, 288, 24, 24);
  const Case cases[] = {
      {"its screen unplugged", true, false, makeRect(388, 288, 24, 24)},
      {"another change, the mark's screen still there", false, false, onSecond},
      {"unlocked during the pause", true, true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InputRig rig;
    rig.button->inWindow = false;
    rig.frames.push_back(second);
    // The cover: up while the tap is on, and the mark refused while it is down.
    rig.whileEnabling = [&rig] { rig.refuseMark = false; };
    rig.controller.lock(Point{kScreenWidth + 500, 300});
    ASSERT_EQ(rig.mark, onSecond);

    rig.controller.inputWantedElsewhere();
    rig.refuseMark = true;  // the cover is down
    rig.tap().refuseEnable = true;  // and another program holds the input
    if (c.unplugMarksScreen) {
      rig.frames.pop_back();
      rig.mark.reset();  // the cover's surface went with its output
    }
    rig.pointer = Point{400, 300};
    rig.screensChanged();
    if (c.unlockDuringPause) rig.controller.unlock();
    for (int second = 0; second < 5; ++second) rig.aSecondPasses();
    EXPECT_EQ(rig.controller.isPaused(), !c.unlockDuringPause);

    rig.tap().refuseEnable = false;  // the other program let go
    rig.controller.inputMayBeFree();
    EXPECT_FALSE(rig.controller.isPaused());
    EXPECT_EQ(rig.mark, c.markAfterResume);
    EXPECT_EQ(rig.controller.unlockMarkFrame(), c.markAfterResume);
    if (c.markAfterResume) {
      const Rect& m = *c.markAfterResume;
      const Point centre{m.origin.x + 12, kScreenHeight - (m.origin.y + 12)};
      EXPECT_EQ(rig.controller.eventTapCallback(kLeftMouseUp, centre), TapVerdict::Unlock);
    }
  }
}

// Where the OS shows the pointer only to the program holding the input, a lock
// with no place to go by goes ahead, and the mark goes where the pointer is
// once held; with the pointer still unknown then, the lock is given up. A
// click that unlocked while the input was being taken ends it there.
TEST(UnlockMark, WhereOnlyTheHolderSeesThePointerGoesWhereItIsOnceHeld) {
  InputRig rig;
  rig.pointerOnlyWhileHeld = true;
  rig.button->inWindow = false;  // a host that never says where the item is
  rig.whileEnabling = [&] { rig.pointer = Point{500, 450}; };
  rig.controller.lock(std::nullopt);
  EXPECT_TRUE(rig.controller.isLocked());
  EXPECT_EQ(rig.mark, makeRect(488, 438, 24, 24));
  rig.controller.unlock();

  rig.pointer.reset();
  rig.tap().whileEnabling = nullptr;
  rig.controller.lock(std::nullopt);
  EXPECT_FALSE(rig.controller.isLocked() || rig.tap().enabled);
  EXPECT_TRUE(rig.gesturesRestored());
  EXPECT_EQ(rig.alertTitles(), Strings{"Hushpad's icon is hidden [OK]"});

  InputRig clicked;
  clicked.pointerOnlyWhileHeld = true;
  clicked.button->inWindow = false;
  clicked.whileEnabling = [&] {
    clicked.pointer = Point{500, 450};
    clicked.controller.unlock();
  };
  clicked.controller.lock(std::nullopt);
  EXPECT_FALSE(clicked.controller.isLocked() || clicked.tap().enabled);
  EXPECT_EQ(clicked.mark, std::nullopt);
  EXPECT_TRUE(clicked.alerts.empty());
  EXPECT_TRUE(clicked.gesturesRestored());
  // The same when taking the input failed because of that click: no alert.
  clicked.tap().refuseEnable = true;
  clicked.controller.lock(std::nullopt);
  EXPECT_FALSE(clicked.controller.isLocked());
  EXPECT_TRUE(clicked.alerts.empty());

  InputRig x11;  // the pointer is known before: no place is no lock
  x11.button->inWindow = false;
  x11.controller.lock(std::nullopt);
  EXPECT_EQ(x11.lastTap, nullptr);
  EXPECT_EQ(x11.alertTitles(), Strings{"Hushpad's icon is hidden [OK]"});
}

// A restore the settings store did not keep leaves the backup for the next
// try and says so once per run, with the input free, never at termination.
TEST(NotPutBack, IsToldOncePerRunAndTheNextUnlockRestores) {
  InputRig rig;
  rig.whileAlertShown = [&] { EXPECT_FALSE(rig.controller.isLocked() || rig.tap().enabled); };
  rig.lockNow();
  rig.dropPreferenceWrites = true;
  rig.controller.unlock();
  EXPECT_EQ(rig.alertTitles(), Strings{"Hushpad could not put your trackpad settings back yet [OK]"});
  EXPECT_TRUE(rig.gesturesOff());
  rig.lockNow();
  rig.controller.unlock();
  rig.lockNow();
  rig.controller.unlockForTermination();
  EXPECT_EQ(rig.alerts.size(), 1u);
  rig.dropPreferenceWrites = false;
  rig.lockNow();
  rig.controller.unlock();
  EXPECT_TRUE(rig.gesturesRestored());
}

// Where secure keyboard entry exists it is looked at about once a second
// while locked, and only then: a password prompt that turns it on unlocks at
// once, and the user hears why once the input is free. A check queued for an
// earlier lock does nothing.
TEST(SecureEntryWhileLocked, UnlocksAndSaysWhy) {
  InputRig rig;
  rig.access.secureKeyboardEntryExists = true;
  rig.lockNow();
  rig.controller.unlock();
  rig.lockNow();
  ASSERT_EQ(rig.later.size(), 2u);
  rig.aSecondPasses();
  EXPECT_TRUE(rig.controller.isLocked());
  EXPECT_EQ(rig.later.size(), 1u);  // the first lock's check ended
  rig.whileAlertShown = [&] { EXPECT_FALSE(rig.controller.isLocked() || rig.tap().enabled); };
  rig.access.secureKeyboardEntry = true;
  rig.aSecondPasses();
  EXPECT_FALSE(rig.controller.isLocked());
  EXPECT_TRUE(rig.gesturesRestored());
  EXPECT_EQ(rig.mark, std::nullopt);
  EXPECT_EQ(rig.forcedUnlocks, 1);
  EXPECT_EQ(rig.alertTitles(), Strings{"Hushpad unlocked: a password field took the keyboard [OK]"});
  EXPECT_TRUE(rig.later.empty());  // nothing runs while unlocked

  InputRig elsewhere;  // an OS without secure keyboard entry: no timer at all
  elsewhere.lockNow();
  EXPECT_TRUE(elsewhere.later.empty());
}

// The keyboard as the lock found it is kept in the defaults while locked: an
// unlock puts it back and forgets it; a run killed while locked leaves it for
// the next start, which puts it back (every locked modifier, not only Caps
// Lock) before anything else; a record that cannot be read is dropped.
TEST(KeyboardState, KeptWhileLockedAndPutBackAtTheNextStartAfterACrash) {
  const std::string key = kKeyboardDefaultsKey;
  InputRig rig;
  rig.keyboard.lockedModifiers = 0x10;  // Num Lock's modifier
  const KeyboardState asBefore = rig.keyboard;
  rig.lockNow();
  ASSERT_TRUE(rig.held<Bytes>(key));
  EXPECT_EQ(decodeKeyboardState(*rig.held<Bytes>(key)), asBefore);
  EXPECT_EQ(fakes::count(rig.log, "synchronizeDefaults"), 2u);  // the gestures' backup, then this
  rig.controller.unlock();
  EXPECT_FALSE(rig.entries.contains(key));

  rig.lockNow();
  // A cat under the lock: sticky keys on, Control pressed twice (locked), Caps Lock.
  rig.keyboard.stickyKeys = true;
  rig.keyboard.capsLock = true;
  rig.keyboard.lockedModifiers = 0x10 | 0x04 | 0x02;
  InputRig next;  // the process killed; a new one starts over the same files
  next.entries = rig.entries;
  next.keyboard = rig.keyboard;
  next.controller.restoreGesturesLeftLocked();
  EXPECT_EQ(next.keyboard, asBefore);
  EXPECT_FALSE(next.entries.contains(key));
  EXPECT_LT(fakes::indexOf(next.log, "applyKeyboard"),
            fakes::indexOf(next.log, "dataForKey TrackpadGestureLock.backup.v1"));

  for (const char* damaged : {"", "[]", R"({"capsLock":1})", R"({"lockedModifiers":-1})"}) {
    SCOPED_TRACE(damaged);
    InputRig later;
    later.entries[key] = Bytes(damaged, damaged + std::string_view(damaged).size());
    later.controller.restoreGesturesLeftLocked();
    EXPECT_EQ(fakes::count(later.log, "applyKeyboard"), 0u);
    EXPECT_FALSE(later.entries.contains(key));
  }
}

TEST(KeyboardState, EveryPartRoundTripsThroughItsRecord) {
  const KeyboardState full{.capsLock = true, .numLock = false, .lockedModifiers = 0xFF,
                           .layoutGroup = 3, .stickyKeys = true, .slowKeys = false,
                           .mouseKeys = true, .bounceKeys = false};
  const std::string text = encodeKeyboardState(full);
  EXPECT_EQ(decodeKeyboardState({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}),
            full);
  const std::string none = encodeKeyboardState({});
  EXPECT_EQ(none, "{}");
  EXPECT_EQ(decodeKeyboardState({reinterpret_cast<const std::uint8_t*>(none.data()), none.size()}),
            KeyboardState{});
}

}  // namespace
}  // namespace hushpad
