#pragma once
// A delegate launched on the in-memory platform, with the user's gestures.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/app_delegate.h"
#include "fakes/null_platform.h"
#include "gestures/overrides_table.h"

namespace hushpad::testing {

inline constexpr const char* kUnlockedToolTip =
    "Hushpad: unlocked. Left-click to lock, right-click for menu.";
inline constexpr const char* kLockedToolTip = "Hushpad: locked. Click here to unlock.";
inline constexpr const char* kReviewFlag = "Hushpad.didRequestReviewAfterFirstUnlock";
inline constexpr const char* kBackupKey = "TrackpadGestureLock.backup.v1";
inline constexpr EventType kKeyDown = 10;
inline constexpr EventType kLeftMouseDown = 1;

// One screen of 1440 x 900 points; the status button (fake default) sits at
// (1000, 876) with size 24, so its centre is (1012, 12) in event coordinates.
inline constexpr Point kOnStatusButton{1012, 12};
inline constexpr Point kMidScreen{400, 450};

// Whether the trackpad gestures are switched off: the backup exists and a
// sample of the overridden preferences holds 0.
inline bool gesturesOff(const fakes::NullPlatform& null) {
  const auto zero = PreferenceValue{std::int64_t{0}};
  return null.userDefaults.data(kBackupKey).has_value() &&
         null.preferences.value("TrackpadThreeFingerDrag",
                                preferenceAddress("com.apple.AppleMultitouchTrackpad", false)) ==
             zero &&
         null.preferences.value("com.apple.trackpad.pinchGesture",
                                preferenceAddress("NSGlobalDomain", true)) == zero;
}

// The delegate that runHushpad installed, if any.
inline AppDelegate* installedDelegate(const fakes::NullPlatform& null) {
  return dynamic_cast<AppDelegate*>(null.application.delegate);
}

class AppShellTest : public ::testing::Test {
 protected:
  AppShellTest() {
    null.screens.frames = {makeRect(0, 0, 1440, 900)};
    platform.makeGestureOverrides = [this] {
      ++overridesTablesBuilt;
      return makeTrackpadOverridesTable();
    };
  }

  // Constructs the delegate and finishes launching, as runHushpad does.
  AppDelegate& launch() {
    delegate = std::make_unique<AppDelegate>(platform);
    null.application.setDelegate(delegate.get());
    delegate->applicationDidFinishLaunching();
    return *delegate;
  }

  fakes::FakeStatusButton& button() { return *null.statusBar.button; }
  fakes::FakeStatusItem& item() { return *null.statusBar.lastItem; }

  // A click on the status button, released with the given mouse button.
  void click(MouseEventType type = MouseEventType::LeftMouseUp) {
    null.application.currentEvent = type;
    button().click();
  }
  // A right click that opens the menu and chooses title (nothing if empty).
  void chooseFromMenu(const std::string& title) {
    button().onPerformClick = [this, title] {
      if (!title.empty()) fakes::chooseMenuItem(item(), title);
    };
    click(MouseEventType::RightMouseUp);
    button().onPerformClick = nullptr;
  }
  TapVerdict tapEvent(EventType type, Point location) {
    return null.eventTaps.client->eventTapCallback(type, location);
  }
  bool isLocked() { return delegate->lockController().isLocked(); }

  fakes::NullPlatform null;
  Platform platform = null.platform();
  std::unique_ptr<AppDelegate> delegate;
  int overridesTablesBuilt = 0;  // each time the lock controller is made
};

}  // namespace hushpad::testing
