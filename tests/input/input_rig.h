#pragma once
// An input lock controller over in-memory services, with a real gesture lock
// over an in-memory preference store, and the numbers the tests speak in.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "fakes/fake_input.h"
#include "fakes/fake_main_queue.h"
#include "fakes/fake_preferences.h"
#include "fakes/fake_status_button.h"
#include "gestures/overrides_table.h"
#include "input/input_lock_controller.h"

namespace hushpad::inputtest {

// Core Graphics event type numbers.
inline constexpr EventType kLeftMouseDown = 1;
inline constexpr EventType kLeftMouseUp = 2;
inline constexpr EventType kMouseMoved = 5;
inline constexpr EventType kKeyDown = 10;
inline constexpr EventType kFlagsChanged = 12;
inline constexpr EventType kScrollWheel = 22;
inline constexpr EventType kMagnify = 30;

// A 1440 x 900 main screen; event locations run downward from its top left.
inline constexpr double kScreenWidth = 1440;
inline constexpr double kScreenHeight = 900;
inline constexpr Rect kMainScreen = makeRect(0, 0, kScreenWidth, kScreenHeight);
// The status button: 24 x 24 points at the top of the main screen.
inline constexpr Rect kButtonFrame = makeRect(1000, 876, 24, 24);
// The button's centre as an event location.
inline constexpr Point kOnButton{1012, 12};

// count main-sized screens side by side, the main one first.
inline std::vector<Rect> screensSideBySide(int count) {
  std::vector<Rect> frames;
  for (int i = 0; i < count; ++i) {
    frames.push_back(makeRect(i * kScreenWidth, 0, kScreenWidth, kScreenHeight));
  }
  return frames;
}

// The one preference the rig's gesture lock switches off, holding true until then.
inline const PreferenceKey kThreeFingerDrag{"com.apple.AppleMultitouchTrackpad",
                                            "TrackpadThreeFingerDrag", false};

struct InputRig {
  InputRig() {
    screens.frames = {kMainScreen};
    button->frame = kButtonFrame;
    preferences.put(kThreeFingerDrag.key, preferenceAddress(kThreeFingerDrag), true);
    controller.statusButton = button;
  }

  std::unique_ptr<InputLockController> makeController() {
    auto gestures = std::make_unique<TrackpadGestureLock>(
        kGestureBackupDefaultsKey,
        std::vector<PreferenceOverride>{{kThreeFingerDrag, std::int64_t{0}}}, preferences,
        userDefaults, notifications);
    auto permissions = std::make_unique<InputPermissionController>(privacy, alerts, workspace);
    return std::make_unique<InputLockController>(
        InputLockServices{eventTaps, screens, alerts, workspace, privacy, mainQueue},
        std::move(gestures), std::move(permissions), defaultBlockedEventTypes());
  }

  // Locks with every service willing; the test fails if that did not lock.
  void lockNow() {
    controller.lock();
    if (!controller.isLocked()) throw std::logic_error("the rig did not lock");
  }

  // Whether the gesture preferences are switched off: the backup is there and
  // the preference holds its disabled value.
  bool gesturesOff() const {
    return userDefaults.data(kGestureBackupDefaultsKey).has_value() &&
           preferences.value(kThreeFingerDrag.key, preferenceAddress(kThreeFingerDrag)) ==
               PreferenceValue{std::int64_t{0}};
  }
  bool gesturesRestored() const {
    return !userDefaults.data(kGestureBackupDefaultsKey).has_value() &&
           preferences.value(kThreeFingerDrag.key, preferenceAddress(kThreeFingerDrag)) ==
               PreferenceValue{true};
  }

  fakes::FakeEventTap& tap() { return *eventTaps.lastTap; }

  fakes::FakePrivacyAccess privacy;
  fakes::FakeAlertPresenter alerts;
  fakes::FakeWorkspace workspace;
  fakes::FakeEventTapFactory eventTaps;
  fakes::FakeScreens screens;
  fakes::FakeMainQueue mainQueue;
  fakes::FakePreferenceStore preferences;
  fakes::FakeUserDefaults userDefaults;
  fakes::FakeDistributedNotifications notifications;
  std::shared_ptr<fakes::FakeStatusButton> button = std::make_shared<fakes::FakeStatusButton>();
  std::unique_ptr<InputLockController> owner = makeController();
  InputLockController& controller = *owner;
};

}  // namespace hushpad::inputtest
