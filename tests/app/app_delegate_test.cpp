// The application delegate on the in-memory platform, as a user lives it:
// launch, lock, unlock, the review request, the menu and quitting; refused
// locks, the forced unlock, and the objects the delegate makes lazily.

#include "app/app_delegate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/null_platform.h"
#include "gestures/backup_codec.h"
#include "gestures/overrides_table.h"

namespace hushpad::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kUnlockedToolTip =
    "Hushpad: unlocked. Left-click to lock, right-click for menu.";
constexpr const char* kLockedToolTip = "Hushpad: locked. Click here to unlock.";
constexpr const char* kReviewFlag = "Hushpad.didRequestReviewAfterFirstUnlock";
constexpr const char* kBackupKey = "TrackpadGestureLock.backup.v1";
constexpr const char* kAccessibilityPane =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

// One screen of 1440 x 900 points with the status button at the top (the fake
// button's frame), and the user's three-finger drag switched on.
struct AppRig {
  AppRig() {
    null.screens.frames = {makeRect(0, 0, 1440, 900)};
    null.preferences.put(kDrag, kMultitouch, true);
    platform.makeGestureOverrides = [this] {
      ++overridesTablesBuilt;
      return makeTrackpadOverridesTable();
    };
  }

  // Makes the delegate, installs it and finishes launching, as runHushpad does.
  void launch() {
    delegate = std::make_unique<AppDelegate>(platform);
    null.application.setDelegate(delegate.get());
    delegate->applicationDidFinishLaunching();
  }
  // The installed delegate.
  AppDelegate& app() { return *dynamic_cast<AppDelegate*>(null.application.delegate); }
  bool isLocked() { return app().lockController().isLocked(); }
  fakes::FakeStatusButton& button() { return *null.statusBar.button; }
  fakes::FakeStatusItem& item() { return *null.statusBar.lastItem; }

  // A click on the status button, released with the given mouse button; with
  // none, a press through accessibility.
  void click(std::optional<MouseEventType> type = MouseEventType::LeftMouseUp) {
    null.application.currentEvent = type;
    button().target->performAction(button().action);
  }
  // A right click that opens the menu and chooses title (nothing if empty).
  void chooseFromMenu(const std::string& title) {
    button().onPerformClick = [this, title] {
      if (!title.empty()) fakes::chooseMenuItem(item(), title);
    };
    click(MouseEventType::RightMouseUp);
    button().onPerformClick = nullptr;
  }

  // The backup is stored and the user's preference switched off, or the
  // backup is gone and the preference is the user's again.
  bool gesturesOff() const { return gestures(std::int64_t{0}, true); }
  bool gesturesRestored() const { return gestures(true, false); }
  bool gestures(PreferenceValue value, bool withBackup) const {
    return null.userDefaults.entries.contains(kBackupKey) == withBackup &&
           null.preferences.value(kDrag, kMultitouch) == value;
  }

  // The status button shows the lock state: texts, and the lock dot (the
  // drawing's one fill) in its image.
  void expectLook(bool locked) {
    EXPECT_EQ(button().title, "");
    EXPECT_EQ(button().toolTip, locked ? kLockedToolTip : kUnlockedToolTip);
    EXPECT_EQ(button().accessibilityLabel, locked ? "Hushpad locked" : "Hushpad unlocked");
    const auto image = std::dynamic_pointer_cast<fakes::FakeImage>(button().image);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::ranges::count(image->drawing.calls, "fillPath", &fakes::CanvasCall::op),
              locked ? 1 : 0);
  }

  const std::string kDrag = "TrackpadThreeFingerDrag";
  const PreferenceAddress kMultitouch =
      preferenceAddress("com.apple.AppleMultitouchTrackpad", false);
  fakes::NullPlatform null;
  Platform platform = null.platform();
  std::unique_ptr<AppDelegate> delegate;
  int overridesTablesBuilt = 0;  // each time the lock controller is made
};

struct AppTest : ::testing::Test, AppRig {};

TEST_F(AppTest, FullCycleLaunchLockUnlockReviewMenuAndQuitWhileLocked) {
  null.application.exitCode = 3;
  null.application.script = [&] {
    // Launched by the loop: a square item with the unlocked look, nothing else touched.
    EXPECT_EQ(null.statusBar.lengths, std::vector<double>{kSquareStatusItemLength});
    EXPECT_TRUE(null.application.accessoryPolicy);
    EXPECT_EQ(*null.log, Strings{"dataForKey TrackpadGestureLock.backup.v1"});
    EXPECT_TRUE(null.privacy.calls.empty());
    EXPECT_EQ(button().imagePosition, ImagePosition::ImageOnly);
    EXPECT_EQ(button().target, &app());
    EXPECT_EQ(button().action, Action::StatusItemClicked);
    EXPECT_EQ(button().sendActionMask, 20u);  // left and right mouse-up
    expectLook(false);
    EXPECT_EQ(null.images.made.size(), 1u);

    // A left click locks: only clicks on the status button pass now.
    click();
    EXPECT_TRUE(null.eventTaps.lastTap->enabled);
    EXPECT_TRUE(gesturesOff());
    expectLook(true);
    EventTapClient& tap = *null.eventTaps.client;
    EXPECT_EQ(tap.eventTapCallback(10, {1012, 12}), TapVerdict::Swallow);  // a key over it
    EXPECT_EQ(tap.eventTapCallback(1, {400, 450}), TapVerdict::Swallow);
    EXPECT_EQ(tap.eventTapCallback(1, {1012, 12}), TapVerdict::PassToStatusItem);

    // The next click unlocks, and the review is asked for once, on a later pass.
    click();
    EXPECT_TRUE(gesturesRestored());
    expectLook(false);
    EXPECT_EQ(button().image, null.images.made[0]);
    EXPECT_EQ(fakes::count(*null.log, "requestReview"), 0u);
    EXPECT_EQ(null.mainQueue.runPending(), 1u);
    EXPECT_EQ(Strings(null.log->end() - 2, null.log->end()),
              (Strings{"activateIgnoringOtherApps", "requestReview"}));
    click();
    click();
    EXPECT_EQ(null.mainQueue.runPending(), 0u);

    // A right click shows the menu only while it is open.
    std::optional<Menu> shown;
    button().onPerformClick = [&] { shown = item().attached; };
    click(MouseEventType::RightMouseUp);
    button().onPerformClick = nullptr;
    EXPECT_EQ(shown, (Menu{{{"Lock Now", Action::LockNow, "", false, &app()},
                            {"Open Permissions", Action::OpenPermissions, "", false, &app()},
                            {"", Action::None, "", true, &app()},
                            {"Quit Hushpad", Action::Quit, "q", false, &app()}}}));
    EXPECT_FALSE(item().attached);
    EXPECT_FALSE(isLocked());
    chooseFromMenu("Open Permissions");
    EXPECT_EQ(null.workspace.opened, Strings{kAccessibilityPane});
    chooseFromMenu("Lock Now");
    expectLook(true);

    // Ending while locked (a log-out) restores first; the status item is left as it is.
    button().toolTip = "as left by the last update";
    null.application.terminate();
    EXPECT_EQ(null.log->back(), "terminated");
    EXPECT_FALSE(null.eventTaps.lastTap->enabled);
    EXPECT_TRUE(gesturesRestored());
    EXPECT_EQ(button().toolTip, "as left by the last update");
    EXPECT_TRUE(null.mainQueue.pending.empty());
    EXPECT_EQ(fakes::count(*null.log, "requestReview"), 1u);
  };

  EXPECT_EQ(runHushpad(platform), 3);
  EXPECT_EQ(null.application.delegate, nullptr);
  EXPECT_EQ(null.eventTaps.masks.size(), 1u);
  EXPECT_EQ(null.images.made.size(), 2u);
}

// Each refusal keeps the unlocked look, touches no setting and explains itself
// (with the OS's names where it has them); the next lock goes through.
TEST(RefusedLock, KeepsTheUnlockedLookAndALeftClickLocksOnceTheMenuHasClosed) {
  struct Refusal {
    bool accessibility;
    bool inputMonitoring;
    bool sessionCanBeHeld;
    std::optional<TapRefusal> tapRefusal;
    std::string alertTitle;
  };
  const std::vector<Refusal> refusals{
      {false, true, true, {}, "Hushpad needs Accessibility"},
      {true, false, true, {}, "Hushpad needs Input Monitoring"},
      {true, true, true, TapRefusal::Privacy, "Hushpad needs input permissions"},
      {true, true, true, TapRefusal::InputHeldElsewhere, "Hushpad could not lock the input"},
      {false, false, false, {}, "Hushpad cannot lock the input here"}};
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.alertTitle);
    AppRig rig;
    rig.platform.wording.sessionThatCannotBeHeld = "a Wayland session";
    rig.platform.wording.sessionThatCanBeHeld = "an X11 session";
    rig.launch();
    rig.null.privacy.accessibilityTrusted = refusal.accessibility;
    rig.null.privacy.inputMonitoringGranted = refusal.inputMonitoring;
    rig.null.privacy.sessionCanBeHeld = refusal.sessionCanBeHeld;
    rig.null.eventTaps.refuseCreation = refusal.tapRefusal.has_value();
    rig.null.eventTaps.refusal = refusal.tapRefusal.value_or(TapRefusal::Privacy);
    rig.button().toolTip = "before the click";
    rig.click();
    ASSERT_EQ(rig.null.alerts.shown.size(), 1u);
    EXPECT_EQ(rig.null.alerts.shown[0].title, refusal.alertTitle);
    EXPECT_FALSE(rig.isLocked());
    rig.expectLook(false);
    EXPECT_EQ(fakes::count(*rig.null.log, "set"), 0u);  // no preference, backup or review flag
    if (!refusal.sessionCanBeHeld) {
      EXPECT_EQ(rig.null.privacy.calls, Strings{"inputAccess"});  // nothing asked for
      EXPECT_EQ(rig.null.alerts.shown[0].informativeText,
                "This is a Wayland session, where one program cannot hold the keyboard and "
                "pointer of the others. Log in to an X11 session to use Hushpad.");
    }

    rig.chooseFromMenu("");
    rig.null.privacy = fakes::FakePrivacyAccess{};
    rig.null.eventTaps.refuseCreation = false;
    rig.click();
    EXPECT_TRUE(rig.gesturesOff());
    rig.expectLook(true);
  }
}

// Where the OS has no privileges to grant, the menu leaves "Open Permissions" out.
TEST(StatusMenu, OffersPermissionsOnlyWhereThereAreSomeToGrant) {
  AppRig rig;
  rig.null.privacy.hasPrivilegesToGrant = false;
  rig.launch();
  std::vector<std::string> titles;
  rig.button().onPerformClick = [&] {
    for (const MenuItem& item : rig.item().attached->items) titles.push_back(item.title);
  };
  rig.click(MouseEventType::RightMouseUp);
  EXPECT_EQ(titles, (Strings{"Lock Now", "", "Quit Hushpad"}));
}

// The lock state decides first; the kind of click matters only while unlocked.
TEST(StatusItemClick, LockStateThenClickKindDecide) {
  struct Click {
    std::optional<MouseEventType> event;  // nothing: pressed through accessibility
    bool startLocked;
    bool lockedAfter;
    bool menuOpened;
  };
  const std::vector<Click> clicks{{MouseEventType::RightMouseUp, false, false, true},
                                  {std::nullopt, false, true, false},
                                  {MouseEventType::Other, false, true, false},
                                  {MouseEventType::RightMouseUp, true, false, false},
                                  {std::nullopt, true, false, false}};
  for (const Click& c : clicks) {
    SCOPED_TRACE(::testing::Message() << "event " << (c.event ? static_cast<int>(*c.event) : -1)
                                      << (c.startLocked ? " while locked" : " while unlocked"));
    AppRig rig;
    rig.launch();
    if (c.startLocked) rig.click();
    rig.click(c.event);
    EXPECT_EQ(rig.isLocked(), c.lockedAfter);
    EXPECT_EQ(rig.item().menusAttached, c.menuOpened ? 1 : 0);
    rig.expectLook(c.lockedAfter);
  }
}

TEST_F(AppTest, LockNowLocksLikeALeftClickAndNeverAsksForAReview) {
  launch();
  chooseFromMenu("Lock Now");
  expectLook(true);
  app().lockNow();  // already locked: nothing changes
  EXPECT_EQ(null.eventTaps.masks.size(), 1u);
  EXPECT_EQ(null.mainQueue.runPending(), 0u);
  EXPECT_FALSE(null.userDefaults.entries.contains(kReviewFlag));
}

TEST_F(AppTest, ReviewFlagFromAnEarlierRunMeansNoRequest) {
  null.userDefaults.entries[kReviewFlag] = true;
  launch();
  click();
  click();
  EXPECT_EQ(null.mainQueue.runPending(), 0u);
  EXPECT_EQ(fakes::count(*null.log, "setBool"), 0u);
}

TEST_F(AppTest, ForcedUnlockRefreshesTheStatusItemWithoutAReview) {
  launch();
  click();
  null.privacy.accessibilityTrusted = false;  // taken away while locked
  null.eventTaps.client->eventTapCallback(kEventTapDisabledByUserInput, {});
  expectLook(true);
  EXPECT_EQ(null.mainQueue.runPending(), 1u);
  EXPECT_FALSE(isLocked());
  expectLook(false);
  EXPECT_TRUE(gesturesRestored());
  EXPECT_FALSE(null.userDefaults.entries.contains(kReviewFlag));
}

TEST_F(AppTest, LazyObjectsAreMadeOnFirstUseAndKept) {
  AppDelegate delegate(platform);
  EXPECT_EQ(&delegate.statusItem(), null.statusBar.lastItem);
  EXPECT_TRUE(null.images.made.empty());
  EXPECT_EQ(overridesTablesBuilt, 0);

  const std::shared_ptr<Image> locked = delegate.lockedToolbarImage();
  EXPECT_EQ(delegate.lockedToolbarImage(), locked);
  EXPECT_EQ(null.images.made.size(), 1u);  // not the unlocked one with it

  InputLockController& controller = delegate.lockController();
  EXPECT_EQ(&delegate.lockController(), &controller);
  EXPECT_EQ(overridesTablesBuilt, 1);
  EXPECT_EQ(controller.gestureLock().backupDefaultsKey(), kBackupKey);
  EXPECT_EQ(controller.statusButton.lock(), null.statusBar.button);
}

TEST_F(AppTest, ButtonlessItemIsLeftAloneAndTerminationIsSafe) {
  null.statusBar.withButton = false;
  launch();
  EXPECT_TRUE(null.application.accessoryPolicy);
  EXPECT_EQ(overridesTablesBuilt, 1);  // made to look for a backup left behind
  app().updateStatusItem();
  null.application.currentEvent = MouseEventType::RightMouseUp;
  app().statusItemClicked();  // the menu comes and goes with no button to click
  EXPECT_EQ(item().menusAttached, 1);
  EXPECT_EQ(button().title, "(unset)");
  EXPECT_TRUE(null.images.made.empty());

  null.application.terminate();
  EXPECT_EQ(null.log->back(), "terminated");
  EXPECT_EQ(app().lockController().statusButton.lock(), nullptr);
}


// ---- A backup left behind by a run that ended while locked

const AlertContent kUnreadableBackupAlert{
    "Hushpad could not read its saved trackpad settings",
    "The settings saved before the last lock can't be read, so they were not put back and some "
    "gestures may stay off. Reset Gestures turns them back on with the system's standard values. "
    "The unreadable copy is kept.",
    {"Reset Gestures", "Keep As Is"}};
const std::string kUnreadable = R"([{"key":)";

TEST_F(AppTest, ReadableBackupIsRestoredAtLaunchWithoutAWord) {
  null.preferences.put(kDrag, kMultitouch, std::int64_t{0});
  const std::string backup = encodeBackup({{{kMultitouch.application.value(), kDrag, false},
                                            true, true, std::nullopt}});
  null.userDefaults.entries[kBackupKey] = Bytes(backup.begin(), backup.end());
  launch();
  EXPECT_TRUE(gesturesRestored());
  EXPECT_TRUE(null.alerts.shown.empty());
  expectLook(false);
}

// Found at launch: "Reset Gestures" keeps a copy and clears the settings, so
// that locks work again; any other answer changes nothing. Asked once per run.
TEST(UnreadableBackup, AtLaunchIsOfferedAResetOncePerRun) {
  for (const std::optional<std::size_t> answer : {std::optional<std::size_t>{0}, {1}, {}}) {
    SCOPED_TRACE(answer.value_or(99));
    AppRig rig;
    rig.null.preferences.put(rig.kDrag, rig.kMultitouch, std::int64_t{0});
    rig.null.userDefaults.entries[kBackupKey] = Bytes(kUnreadable.begin(), kUnreadable.end());
    rig.null.alerts.answers = {answer};
    rig.launch();
    EXPECT_EQ(rig.null.alerts.shown, std::vector<AlertContent>{kUnreadableBackupAlert});
    const bool reset = answer == 0;
    const auto& entries = rig.null.userDefaults.entries;
    EXPECT_EQ(entries.contains(kBackupKey), !reset);
    EXPECT_EQ(entries.contains(std::string(kBackupKey) + ".unreadable"), reset);
    const std::optional<PreferenceValue> left =
        reset ? std::nullopt : std::optional<PreferenceValue>{std::int64_t{0}};
    EXPECT_EQ(rig.null.preferences.value(rig.kDrag, rig.kMultitouch), left);

    rig.click();
    EXPECT_TRUE(rig.isLocked());
    rig.click();
    EXPECT_EQ(rig.null.alerts.shown.size(), 1u);
    EXPECT_EQ(rig.null.preferences.value(rig.kDrag, rig.kMultitouch), left);
  }
}

// Found by an unlock: asked once the input is free again; never at termination.
TEST_F(AppTest, UnreadableBackupFoundByAnUnlockIsOfferedOnceTheInputIsFree) {
  launch();
  click();
  null.userDefaults.entries[kBackupKey] = Bytes(kUnreadable.begin(), kUnreadable.end());
  null.alerts.answers = {0};
  null.alerts.whileShown = [&] {
    EXPECT_FALSE(isLocked() || null.eventTaps.lastTap->enabled);
  };
  click();
  EXPECT_EQ(null.alerts.shown, std::vector<AlertContent>{kUnreadableBackupAlert});
  EXPECT_FALSE(null.userDefaults.entries.contains(kBackupKey));

  AppRig other;
  other.launch();
  other.click();
  other.null.userDefaults.entries[kBackupKey] = Bytes(kUnreadable.begin(), kUnreadable.end());
  other.null.application.terminate();
  EXPECT_TRUE(other.null.alerts.shown.empty());
  EXPECT_FALSE(other.null.eventTaps.lastTap->enabled);
}

}  // namespace
}  // namespace hushpad::testing
