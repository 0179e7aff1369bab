#pragma once
// An input lock controller over the null platform, with a real gesture lock
// over its preferences, and the numbers the tests speak in.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/null_platform.h"
#include "gestures/overrides_table.h"
#include "input/input_lock_controller.h"

namespace hushpad::inputtest {

// Core Graphics
inline constexpr EventType kLeftMouseDown = 1, kLeftMouseUp = 2, kRightMouseUp = 4, kKeyDown = 10,
                           kScrollWheel = 22;

// A 1440 x 900 main screen; event locations run downward from its top left.
inline constexpr double kScreenWidth = 1440, kScreenHeight = 900;
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

// The null platform under a lone controller. With snapshotScreens the
// controller is given the screens as the macOS layer gives them (read at a
// refresh or a reported change only); the tests still set up the null
// platform's frames, as the OS's own.
struct InputRig : fakes::NullPlatform {
  explicit InputRig(bool snapshotScreens = false)
      : screensGiven(snapshotScreens ? static_cast<Screens&>(snapshot) : *this) {
    frames = {kMainScreen};
    button->frame = kButtonFrame;
    put(kThreeFingerDrag.key, preferenceAddress(kThreeFingerDrag), true);
    controller.statusButton = button;
    controller.setForcedUnlockHandler([this] { ++forcedUnlocks; });
  }

  // Locks with every service willing; throws if that did not lock.
  void lockNow() {
    controller.lock();
    if (!controller.isLocked()) throw std::logic_error("the rig did not lock");
  }

  // Whether nothing but the privileges was asked: the gesture lock's stores untouched.
  bool gesturesUntouched() const {
    return std::ranges::all_of(log, [](const std::string& line) {
      return line == "inputAccess" || line.starts_with("prompt") || line.starts_with("request");
    });
  }

  fakes::FakeEventTap& tap() { return *lastTap; }
  int forcedUnlocks = 0;  // the controller gave up the lock by itself

  fakes::SnapshotScreens snapshot{*this};
  Screens& screensGiven;  // what the controller reads the screens through
  InputLockController controller{
      inputServices(screensGiven), PlatformWording{},
      std::make_unique<TrackpadGestureLock>(
          kGestureBackupDefaultsKey,
          std::vector<PreferenceOverride>{{kThreeFingerDrag, std::int64_t{0}}}, *this, *this,
          *this),
      std::make_unique<InputPermissionController>(*this, *this, *this), defaultBlockedEventTypes()};
};

}  // namespace hushpad::inputtest
