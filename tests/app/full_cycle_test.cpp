// One run of the program on the in-memory platform, as a user lives it: launch,
// lock, unlock, the review request, the menu, and quitting while locked.

#include <gtest/gtest.h>

#include "app_test_support.h"

namespace hushpad::testing {
namespace {

using fakes::FakeImage;

class FullCycle : public AppShellTest {
 protected:
  std::shared_ptr<FakeImage> shownImage() {
    return std::static_pointer_cast<FakeImage>(button().image);
  }
  static bool hasLockDot(const FakeImage& image) {
    return image.drawing.count(fakes::CanvasCall::Kind::Fill) == 1;
  }

  void expectUnlockedLook() {
    EXPECT_EQ(button().title, "");
    EXPECT_FALSE(hasLockDot(*shownImage()));
    EXPECT_EQ(button().toolTip, kUnlockedToolTip);
    EXPECT_EQ(button().accessibilityLabel, "Hushpad unlocked");
  }
  void expectLockedLook() {
    EXPECT_EQ(button().title, "");
    EXPECT_TRUE(hasLockDot(*shownImage()));
    EXPECT_EQ(button().toolTip, kLockedToolTip);
    EXPECT_EQ(button().accessibilityLabel, "Hushpad locked");
  }

  void launched() {
    EXPECT_EQ(null.statusBar.lengths, std::vector<double>{kSquareStatusItemLength});
    EXPECT_TRUE(null.application.accessoryPolicy);
    EXPECT_TRUE(null.log->lines().empty());  // no preference, default or notification touched
    EXPECT_TRUE(null.privacy.calls.empty());
    EXPECT_TRUE(null.eventTaps.masks.empty());
    EXPECT_EQ(button().imagePosition, ImagePosition::ImageOnly);
    EXPECT_EQ(button().target, installedDelegate(null));
    EXPECT_EQ(button().action, Action::StatusItemClicked);
    EXPECT_EQ(button().sendActionMask, 20u);
    expectUnlockedLook();
    EXPECT_EQ(null.images.made.size(), 1u);
  }

  void leftClickLocks() {
    click();
    EXPECT_EQ(null.privacy.calls,
              (std::vector<std::string>{"isAccessibilityTrusted", "isInputMonitoringGranted"}));
    ASSERT_EQ(null.eventTaps.tapsCreated, 1);
    EXPECT_TRUE(null.eventTaps.lastTap->enabled);
    EXPECT_TRUE(gesturesOff(null));
    expectLockedLook();
  }

  void onlyTheStatusButtonTakesClicks() {
    EXPECT_EQ(tapEvent(kKeyDown, kOnStatusButton), TapVerdict::Swallow);
    EXPECT_EQ(tapEvent(kLeftMouseDown, kMidScreen), TapVerdict::Swallow);
    EXPECT_EQ(tapEvent(kLeftMouseDown, kOnStatusButton), TapVerdict::Pass);
  }

  void clickUnlocksAndRestores() {
    click();
    EXPECT_FALSE(null.eventTaps.lastTap->enabled);
    EXPECT_FALSE(null.userDefaults.data(kBackupKey).has_value());
    EXPECT_EQ(null.preferences.value("TrackpadThreeFingerDrag", kThreeFingerDrag),
              PreferenceValue{true});
    EXPECT_FALSE(null.preferences.value("TrackpadPinch", kThreeFingerDrag).has_value());
    expectUnlockedLook();
    EXPECT_EQ(button().image, null.images.made[0]);
  }

  void reviewRequestedOnceOnALaterPass() {
    EXPECT_EQ(null.reviewPrompt.requestCount, 0);
    EXPECT_EQ(null.log->count(std::string("setBool ") + kReviewFlag + " = true"), 1u);
    EXPECT_EQ(null.mainQueue.runPending(), 1u);
    EXPECT_EQ(null.reviewPrompt.requestCount, 1);
    EXPECT_LT(null.log->firstIndexOf("activateIgnoringOtherApps"),
              null.log->firstIndexOf("requestReview"));
  }

  void rightClickShowsTheMenu() {
    std::optional<Menu> shown;
    button().onPerformClick = [&] { shown = item().attached; };
    click(MouseEventType::RightMouseUp);
    button().onPerformClick = nullptr;
    ActionTarget* const target = installedDelegate(null);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->items, (std::vector<MenuItem>{
                                {"Lock Now", Action::LockNow, "", false, target},
                                {"Open Permissions", Action::OpenPermissions, "", false, target},
                                {"", Action::None, "", true, target},
                                {"Quit Hushpad", Action::Quit, "q", false, target},
                            }));
    EXPECT_FALSE(item().attached.has_value());
    EXPECT_FALSE(null.eventTaps.lastTap->enabled);
    expectUnlockedLook();
  }

  const PreferenceAddress kThreeFingerDrag =
      preferenceAddress("com.apple.AppleMultitouchTrackpad", false);
};

TEST_F(FullCycle, LaunchLockUnlockReviewMenuAndQuitWhileLocked) {
  null.preferences.put("TrackpadThreeFingerDrag", kThreeFingerDrag, true);
  null.application.exitCode = 3;
  null.application.script = [&] {
    launched();
    leftClickLocks();
    onlyTheStatusButtonTakesClicks();
    clickUnlocksAndRestores();
    reviewRequestedOnceOnALaterPass();

    click();  // lock and unlock again: the review is not asked for twice
    click();
    EXPECT_EQ(null.mainQueue.runPending(), 0u);
    EXPECT_EQ(null.reviewPrompt.requestCount, 1);
    EXPECT_EQ(null.application.activateCount, 1);

    rightClickShowsTheMenu();
    chooseFromMenu("Lock Now");
    expectLockedLook();
    EXPECT_TRUE(null.mainQueue.pending.empty());

    button().toolTip = "as left by the last update";
    null.application.terminate();
    EXPECT_TRUE(null.application.terminated);
    EXPECT_FALSE(null.eventTaps.lastTap->enabled);
    EXPECT_FALSE(null.userDefaults.data(kBackupKey).has_value());
    EXPECT_EQ(null.preferences.value("TrackpadThreeFingerDrag", kThreeFingerDrag),
              PreferenceValue{true});
    EXPECT_EQ(button().toolTip, "as left by the last update");
    EXPECT_TRUE(null.mainQueue.pending.empty());
    EXPECT_EQ(null.reviewPrompt.requestCount, 1);
  };

  EXPECT_EQ(runHushpad(platform), 3);
  EXPECT_EQ(null.application.runCount, 1);
  EXPECT_EQ(null.application.delegate, nullptr);
  EXPECT_EQ(null.eventTaps.tapsCreated, 1);
  EXPECT_EQ(null.images.made.size(), 2u);
}

}  // namespace
}  // namespace hushpad::testing
