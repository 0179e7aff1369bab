#pragma once
// An input lock controller over in-memory services, with a real gesture lock
// over an in-memory preference store, and the numbers the tests speak in.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "fakes/null_platform.h"
#include "gestures/overrides_table.h"
#include "input/input_lock_controller.h"

namespace hushpad::inputtest {

// Core Graphics event type numbers.
inline constexpr EventType kLeftMouseDown = 1;
inline constexpr EventType kKeyDown = 10;
inline constexpr EventType kScrollWheel = 22;

// A 1440 x 900 main screen; event locations run downward from its top left.
inline constexpr double kScreenWidth = 1440;
inline constexpr double kScreenHeight = 900;
inline constexpr Rect kMainScreen = makeRect(0, 0, kScreenWidth, kScreenHeight);
// The status button: 24 x 24 points at the top of the main screen, spanning
// x 1000..1024 and, as event locations, y 0..24.
inline constexpr Rect kButtonFrame = makeRect(1000, 876, 24, 24);
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

// The null platform's fakes under a lone controller.
struct InputRig : fakes::NullPlatform {
  InputRig() {
    screens.frames = {kMainScreen};
    button->frame = kButtonFrame;
    preferences.put(kThreeFingerDrag.key, preferenceAddress(kThreeFingerDrag), true);
    controller.statusButton = button;
  }

  // Locks with every service willing; throws if that did not lock.
  void lockNow() {
    controller.lock();
    if (!controller.isLocked()) throw std::logic_error("the rig did not lock");
  }

  // Whether the gesture preference holds its disabled value with the backup
  // stored, or the user's value with the backup gone.
  bool gesturesOff() const { return gestures(std::int64_t{0}, true); }
  bool gesturesRestored() const { return gestures(true, false); }
  bool gestures(PreferenceValue value, bool withBackup) const {
    return userDefaults.entries.contains(kGestureBackupDefaultsKey) == withBackup &&
           preferences.value(kThreeFingerDrag.key, preferenceAddress(kThreeFingerDrag)) == value;
  }
  // Every call on the gesture lock's stores and notifications.
  const fakes::CallLog& gestureCalls() const { return *preferences.log; }

  fakes::FakeEventTap& tap() { return *eventTaps.lastTap; }

  std::shared_ptr<fakes::FakeStatusButton> button = std::make_shared<fakes::FakeStatusButton>();
  InputLockController controller{
      inputServices(), PlatformWording{},
      std::make_unique<TrackpadGestureLock>(
          kGestureBackupDefaultsKey,
          std::vector<PreferenceOverride>{{kThreeFingerDrag, std::int64_t{0}}}, preferences,
          userDefaults, notifications),
      std::make_unique<InputPermissionController>(privacy, alerts, workspace),
      defaultBlockedEventTypes()};
};

}  // namespace hushpad::inputtest
