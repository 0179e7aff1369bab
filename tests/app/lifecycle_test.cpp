// Start-up, termination and the objects the delegate makes lazily.

#include <gtest/gtest.h>

#include "app_test_support.h"

namespace hushpad::testing {
namespace {

using LifecycleTest = AppShellTest;

TEST_F(LifecycleTest, ConstructingAsksForASquareItemAndNothingElse) {
  AppDelegate delegate(platform);
  EXPECT_EQ(null.statusBar.lengths, std::vector<double>{kSquareStatusItemLength});
  EXPECT_EQ(&delegate.statusItem(), null.statusBar.lastItem);
  EXPECT_EQ(button().title, "(unset)");
  EXPECT_TRUE(null.images.made.empty());
  EXPECT_EQ(overridesTablesBuilt, 0);
  EXPECT_EQ(delegate.firstUnlockReviewDefaultsKey, kReviewFlag);
}

TEST_F(LifecycleTest, LockControllerIsMadeOnceWithItsGestureLockPermissionsAndButton) {
  launch();
  InputLockController& controller = delegate->lockController();
  EXPECT_EQ(&delegate->lockController(), &controller);
  EXPECT_EQ(overridesTablesBuilt, 1);
  EXPECT_FALSE(controller.isLocked());
  EXPECT_FALSE(controller.hasEventTap());
  EXPECT_EQ(controller.gestureLock().backupDefaultsKey(), kBackupKey);
  EXPECT_EQ(controller.gestureLock().overrides(), makeTrackpadOverridesTable());
  EXPECT_EQ(controller.blockedEventTypes(), defaultBlockedEventTypes());
  EXPECT_EQ(controller.statusButton.lock(), null.statusBar.button);
}

TEST_F(LifecycleTest, EachImageIsMadeOnFirstReadAndKept) {
  AppDelegate delegate(platform);
  const std::shared_ptr<Image> locked = delegate.lockedToolbarImage();
  ASSERT_EQ(null.images.made.size(), 1u);  // the unlocked one is not made with it
  EXPECT_EQ(delegate.lockedToolbarImage(), locked);
  const std::shared_ptr<Image> unlocked = delegate.unlockedToolbarImage();
  EXPECT_NE(unlocked, locked);
  EXPECT_EQ(delegate.unlockedToolbarImage(), unlocked);
  EXPECT_EQ(null.images.made.size(), 2u);
  EXPECT_EQ(null.images.made[0]->drawing.count(fakes::CanvasCall::Kind::Fill), 1u);
  EXPECT_EQ(null.images.made[1]->drawing.count(fakes::CanvasCall::Kind::Fill), 0u);
}

TEST_F(LifecycleTest, ARunThatNeverLocksNeverDrawsTheLockedImage) {
  launch();
  null.privacy.accessibilityTrusted = false;
  click();  // refused
  chooseFromMenu("Open Permissions");
  chooseFromMenu("Quit Hushpad");
  ASSERT_EQ(null.images.made.size(), 1u);
  EXPECT_EQ(null.images.made[0]->drawing.count(fakes::CanvasCall::Kind::Fill), 0u);
}

TEST_F(LifecycleTest, TerminatingWhileUnlockedChangesNothing) {
  launch();
  null.application.terminate();
  EXPECT_EQ(null.log->lines(),
            (std::vector<std::string>{"applicationWillTerminate", "terminated"}));
  EXPECT_TRUE(null.eventTaps.masks.empty());
}

TEST_F(LifecycleTest, TerminatingWhileLockedRestoresBeforeTheEnd) {
  launch();
  click();
  null.log->clear();
  null.application.terminate();
  EXPECT_FALSE(null.eventTaps.lastTap->enabled);
  const auto restoredAt = null.log->firstIndexOf("removeObject " + std::string(kBackupKey));
  ASSERT_TRUE(restoredAt.has_value());
  EXPECT_LT(*restoredAt, null.log->firstIndexOf("terminated"));
  EXPECT_EQ(null.application.activateCount, 0);
}

class ButtonlessItem : public AppShellTest {
 protected:
  ButtonlessItem() { null.statusBar.withButton = false; }
};

TEST_F(ButtonlessItem, LaunchConfiguresNothingAndTerminationIsSafe) {
  launch();
  EXPECT_TRUE(null.application.accessoryPolicy);
  EXPECT_EQ(overridesTablesBuilt, 0);
  EXPECT_TRUE(null.images.made.empty());
  EXPECT_EQ(button().title, "(unset)");
  delegate->updateStatusItem();
  EXPECT_TRUE(null.images.made.empty());

  null.application.terminate();
  EXPECT_EQ(overridesTablesBuilt, 1);  // made by termination, found unlocked
  EXPECT_TRUE(null.application.terminated);
  EXPECT_EQ(null.log->count("set "), 0u);
  EXPECT_EQ(delegate->lockController().statusButton.lock(), nullptr);
}

TEST_F(ButtonlessItem, MenuIsStillDetachedWhenThereIsNoButtonToClick) {
  launch();
  null.application.currentEvent = MouseEventType::RightMouseUp;
  delegate->statusItemClicked();
  EXPECT_EQ(item().menusAttached.size(), 1u);
  EXPECT_EQ(item().menusDetached, 1);
  EXPECT_EQ(button().performClickCount, 0);
}

TEST_F(LifecycleTest, RunHushpadInstallsTheDelegateBeforeTheLoopAndReturnsItsResult) {
  null.application.exitCode = 9;
  null.application.script = [&] {
    ASSERT_NE(installedDelegate(null), nullptr);
    EXPECT_EQ(button().target, installedDelegate(null));  // launched by the loop
    EXPECT_EQ(null.statusBar.lengths.size(), 1u);
  };
  EXPECT_EQ(runHushpad(platform), 9);
  EXPECT_EQ(null.application.runCount, 1);
  EXPECT_EQ(null.application.delegate, nullptr);
}

}  // namespace
}  // namespace hushpad::testing
