// The application delegate on the null platform, as a user lives it: launch,
// lock, unlock, the review request, the menu and quitting; refused locks, the
// forced unlock, and a backup left behind by a run that ended while locked.

#include "app/app_delegate.h"

#include <gtest/gtest.h>

#include "fakes/null_platform.h"

namespace hushpad::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kReviewFlag = "Hushpad.didRequestReviewAfterFirstUnlock";
constexpr const char* kBackupKey = "TrackpadGestureLock.backup.v1";
const std::string kDrag = "TrackpadThreeFingerDrag";
const PreferenceAddress kMultitouch = preferenceAddress("com.apple.AppleMultitouchTrackpad", false);

// One screen of 1440 x 900 points with the status button at the top (the fake
// button's frame), and the user's three-finger drag switched on.
struct AppRig : fakes::NullPlatform {
  AppRig() {
    frames = {makeRect(0, 0, 1440, 900)};
    put(kDrag, kMultitouch, true);
  }

  // Makes the delegate, installs it and finishes launching, as runHushpad does.
  void launch() {
    owned = std::make_unique<AppDelegate>(services);
    setDelegate(owned.get());
    owned->applicationDidFinishLaunching();
  }
  AppDelegate& app() { return *dynamic_cast<AppDelegate*>(delegate); }  // the installed one
  bool isLocked() { return app().lockController().isLocked(); }

  // A click on the status button, released with the given mouse button; with
  // none, a press through accessibility.
  void click(std::optional<MouseEventType> type = MouseEventType::LeftMouseUp) {
    currentEvent = type;
    button->target->performAction(button->action);
  }
  // A right click that opens the menu and chooses title (nothing if empty);
  // returns the menu as it was shown.
  Menu chooseFromMenu(const std::string& title) {
    Menu shown;
    button->onPerformClick = [&] {
      shown = lastItem->attached.value();
      if (!title.empty()) lastItem->choose(title);
    };
    click(MouseEventType::RightMouseUp);
    button->onPerformClick = nullptr;
    return shown;
  }

  // The status button shows the lock state: texts, and the lock dot (the
  // drawing's one fill) in its image.
  void expectLook(bool locked) {
    EXPECT_EQ(button->title, "");
    EXPECT_EQ(button->toolTip,
              locked ? "Hushpad: locked. Click here to unlock."
                     : "Hushpad: unlocked. Left-click to lock, right-click for menu.");
    EXPECT_EQ(button->accessibilityLabel, locked ? "Hushpad locked" : "Hushpad unlocked");
    const auto image = std::dynamic_pointer_cast<fakes::FakeImage>(button->image);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::ranges::count(image->drawing.calls, "fillPath", &fakes::CanvasCall::op),
              locked ? 1 : 0);
  }

  Platform services = platform();
  std::unique_ptr<AppDelegate> owned;
};

struct AppTest : ::testing::Test, AppRig {};

TEST_F(AppTest, FullCycleLaunchLockUnlockReviewMenuAndQuitWhileLocked) {
  exitCode = 3;
  script = [&] {
    // Launched by the loop: a square item with the unlocked look, nothing else touched.
    EXPECT_TRUE(lengths == std::vector<double>{kSquareStatusItemLength} && accessoryPolicy);
    EXPECT_EQ(log, (Strings{"dataForKey InputLock.keyboard.v1",
                            "dataForKey TrackpadGestureLock.backup.v1"}));
    EXPECT_EQ(button->imagePosition, ImagePosition::ImageOnly);
    EXPECT_EQ(button->sendActionMask, 20u);  // left and right mouse-up
    expectLook(false);

    // A left click locks: only clicks on the status button pass now.
    click();
    EXPECT_TRUE(lastTap->enabled);
    EXPECT_TRUE(gesturesOff());
    expectLook(true);
    EXPECT_EQ(client->eventTapCallback(10, {1012, 12}), TapVerdict::Swallow);  // a key over it
    EXPECT_EQ(client->eventTapCallback(1, {400, 450}), TapVerdict::Swallow);
    EXPECT_EQ(client->eventTapCallback(1, {1012, 12}), TapVerdict::Swallow);  // a press on it
    EXPECT_EQ(client->eventTapCallback(2, {1012, 12}), TapVerdict::Unlock);
    EXPECT_EQ(mark, button->frame);  // with no pointer to go by, over the button

    // The next click unlocks, and the review is asked for once, on a later pass.
    click();
    EXPECT_TRUE(gesturesRestored());
    expectLook(false);
    EXPECT_EQ(button->image, images[0]);
    EXPECT_EQ(fakes::count(log, "requestReview"), 0u);
    EXPECT_EQ(runPending(), 1u);
    EXPECT_EQ(Strings(log.end() - 2, log.end()),
              (Strings{"activateIgnoringOtherApps", "requestReview"}));
    click();
    click();
    EXPECT_EQ(runPending(), 0u);

    // A right click shows the menu only while it is open.
    EXPECT_EQ(chooseFromMenu(""),
              (Menu{{{"Lock Now", Action::LockNow, "", false, &app()},
                     {"Open Permissions", Action::OpenPermissions, "", false, &app()},
                     {"", Action::None, "", true, &app()},
                     {"Quit Hushpad", Action::Quit, "q", false, &app()}}}));
    EXPECT_FALSE(lastItem->attached || isLocked());
    EXPECT_EQ(lastItem->standing(), chooseFromMenu(""));  // the host's copy acts the same
    chooseFromMenu("Open Permissions");
    EXPECT_EQ(opened, Strings{"x-apple.systempreferences:com.apple.preference.security?"
                              "Privacy_Accessibility"});
    chooseFromMenu("Lock Now");
    expectLook(true);

    // Ending while locked (a log-out) restores first; the status item is left as it is.
    button->toolTip = "as left by the last update";
    terminate();
    EXPECT_EQ(log.back(), "terminated");
    EXPECT_FALSE(lastTap->enabled);
    EXPECT_TRUE(gesturesRestored());
    EXPECT_EQ(button->toolTip, "as left by the last update");
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(fakes::count(log, "requestReview"), 1u);
  };

  EXPECT_EQ(runHushpad(services), 3);
  EXPECT_EQ(delegate, nullptr);
  EXPECT_EQ(masks.size(), 1u);
  EXPECT_EQ(images.size(), 3u);  // each look and the unlock mark drawn once
}

// A refused lock keeps the unlocked look, touches no setting and explains
// itself with the OS's names; the next lock goes through once the menu has closed.
TEST_F(AppTest, RefusedLockKeepsTheUnlockedLookAndALeftClickLocksOnceTheMenuHasClosed) {
  services.wording.sessionThatCannotBeHeld = "a Wayland session";
  services.wording.sessionThatCanBeHeld = "an X11 session";
  launch();
  access.sessionCanBeHeld = false;
  click();
  EXPECT_EQ(alertTitles(), Strings{"Hushpad cannot lock the input here [OK]"});
  EXPECT_EQ(alerts[0].informativeText,
            "This is a Wayland session, where one program cannot hold the keyboard and pointer "
            "of the others. Log in to an X11 session to use Hushpad.");
  EXPECT_FALSE(isLocked());
  expectLook(false);
  EXPECT_EQ(fakes::count(log, "set"), 0u);  // no preference, backup or review flag
  chooseFromMenu("");
  access.sessionCanBeHeld = true;
  click();
  EXPECT_TRUE(gesturesOff());
  expectLook(true);
}

// Where the OS has no privileges to grant, the menu leaves "Open Permissions" out.
TEST(StatusMenu, OffersPermissionsOnlyWhereThereAreSomeToGrant) {
  AppRig rig;
  rig.access.hasPrivilegesToGrant = false;
  rig.launch();
  Strings titles;
  for (const MenuItem& item : rig.chooseFromMenu("").items) titles.push_back(item.title);
  EXPECT_EQ(titles, (Strings{"Lock Now", "", "Quit Hushpad"}));
}

// The lock state decides first; the kind of click matters only while unlocked.
TEST(StatusItemClick, LockStateThenClickKindDecide) {
  struct Click {
    std::optional<MouseEventType> event;  // nothing: pressed through accessibility
    bool startLocked, lockedAfter, menuOpened;
  };
  const std::vector<Click> clicks{{MouseEventType::RightMouseUp, false, false, true},
                                  {std::nullopt, false, true, false},
                                  {MouseEventType::Other, false, true, false},
                                  {MouseEventType::RightMouseUp, true, false, false},
                                  {std::nullopt, true, false, false}};
  for (const Click& c : clicks) {
    SCOPED_TRACE(&c - clicks.data());
    AppRig rig;
    rig.launch();
    if (c.startLocked) rig.click();
    rig.click(c.event);
    EXPECT_EQ(rig.isLocked(), c.lockedAfter);
    EXPECT_EQ(rig.lastItem->menusAttached, c.menuOpened ? 1 : 0);
    rig.expectLook(c.lockedAfter);
  }
}

// The unlock mark goes where the pointer was at the click that locked, or at
// the right click that opened the menu for "Lock Now", and carries the locked
// item's texts in its own colours.
TEST_F(AppTest, TheUnlockMarkGoesWhereTheLockingClickWas) {
  launch();
  pointer = Point{500, 450};
  click();
  EXPECT_EQ(mark, makeRect(488, 438, 24, 24));
  EXPECT_EQ(markContent.title, "Hushpad is locked");
  EXPECT_EQ(markContent.toolTip, button->toolTip);
  EXPECT_EQ(markContent.accessibilityLabel, "Hushpad locked");
  const auto image = std::dynamic_pointer_cast<fakes::FakeImage>(markContent.image);
  ASSERT_NE(image, nullptr);
  EXPECT_FALSE(image->isTemplate);
  click();
  EXPECT_EQ(mark, std::nullopt);

  pointer = Point{300, 300};
  button->onPerformClick = [&] {
    pointer = Point{900, 500};  // the pointer goes down the menu
    lastItem->choose("Lock Now");
  };
  click(MouseEventType::RightMouseUp);
  EXPECT_TRUE(isLocked());
  EXPECT_EQ(mark, makeRect(288, 288, 24, 24));
  EXPECT_EQ(markContent.image, image);
  click();

  // A menu the tray host shows by itself brings no click first: the mark goes
  // where the pointer is when "Lock Now" is chosen, never at an older click.
  ASSERT_TRUE(lastItem->standing);
  const Menu standing = lastItem->standing();
  pointer = Point{700, 200};
  const MenuItem& lockNow = standing.items.front();
  ASSERT_EQ(lockNow.title, "Lock Now");
  lockNow.target->performAction(lockNow.action);
  EXPECT_TRUE(isLocked());
  EXPECT_EQ(mark, makeRect(688, 188, 24, 24));
}

TEST_F(AppTest, ForcedUnlockRefreshesTheStatusItemWithoutAReview) {
  launch();
  click();
  access.accessibilityTrusted = false;  // taken away while locked
  client->eventTapCallback(kEventTapDisabledByUserInput, {});
  expectLook(true);
  EXPECT_EQ(runPending(), 1u);
  EXPECT_FALSE(isLocked());
  expectLook(false);
  EXPECT_TRUE(gesturesRestored());
  EXPECT_FALSE(entries.contains(kReviewFlag));
}

TEST_F(AppTest, ButtonlessItemIsLeftAloneAndTerminationIsSafe) {
  withButton = false;
  launch();
  app().updateStatusItem();
  currentEvent = MouseEventType::RightMouseUp;
  app().statusItemClicked();  // the menu comes and goes with no button to click
  EXPECT_EQ(lastItem->menusAttached, 1);
  EXPECT_TRUE(button->title == "(unset)" && images.empty());
  terminate();
  EXPECT_EQ(log.back(), "terminated");
}

// ---- A backup left behind by a run that ended while locked

const Strings kUnreadableBackupAlert{
    "Hushpad could not read its saved trackpad settings [Reset Gestures] [Keep As Is]"};
const Bytes kUnreadable{'[', '{', '"', 'k', 'e', 'y', '"', ':'};

// Found at launch: "Reset Gestures" keeps a copy and clears the settings, so
// that locks work again; any other answer changes nothing. Asked once per run.
TEST(UnreadableBackup, AtLaunchIsOfferedAResetOncePerRun) {
  for (const std::optional<std::size_t> answer : {std::optional<std::size_t>{0}, {1}, {}}) {
    SCOPED_TRACE(answer.value_or(99));
    AppRig rig;
    rig.put(kDrag, kMultitouch, std::int64_t{0});
    rig.entries[kBackupKey] = kUnreadable;
    rig.answers = {answer};
    rig.launch();
    EXPECT_EQ(rig.alertTitles(), kUnreadableBackupAlert);
    const bool reset = answer == 0;
    EXPECT_EQ(rig.entries.contains(kBackupKey), !reset);
    EXPECT_EQ(rig.entries.contains(std::string(kBackupKey) + ".unreadable"), reset);
    const auto left = reset ? std::nullopt : std::optional<PreferenceValue>{std::int64_t{0}};
    EXPECT_EQ(rig.value(kDrag, kMultitouch), left);

    rig.click();
    EXPECT_TRUE(rig.isLocked());
    rig.click();
    EXPECT_EQ(rig.alerts.size(), 1u);
    EXPECT_EQ(rig.value(kDrag, kMultitouch), left);
  }
}

// Found by an unlock: asked once the input is free again; never at termination.
TEST_F(AppTest, UnreadableBackupFoundByAnUnlockIsOfferedOnceTheInputIsFree) {
  launch();
  click();
  entries[kBackupKey] = kUnreadable;
  answers = {0};
  whileAlertShown = [&] { EXPECT_FALSE(isLocked() || lastTap->enabled); };
  click();
  EXPECT_EQ(alertTitles(), kUnreadableBackupAlert);
  EXPECT_FALSE(entries.contains(kBackupKey));

  AppRig other;
  other.launch();
  other.click();
  other.entries[kBackupKey] = kUnreadable;
  other.terminate();
  EXPECT_TRUE(other.alerts.empty());
  EXPECT_FALSE(other.lastTap->enabled);
}

}  // namespace
}  // namespace hushpad::testing

namespace hushpad::testing {
namespace {

// The commands and the shortcut, from each lock state: what is locked after,
// and where the mark is.
TEST(RemoteRequests, LockWhereThePointerIsAndOnlyTheUnlockCommandUnlocks) {
  struct Case {
    const char* name;
    bool lockedBefore;
    Action request;
    bool lockedAfter;
  };
  const Case cases[] = {
      {"lock command, unlocked", false, Action::LockRequested, true},
      {"shortcut, unlocked", false, Action::LockShortcutPressed, true},
      {"unlock command, unlocked", false, Action::UnlockRequested, false},
      {"lock command, locked", true, Action::LockRequested, true},
      {"shortcut, locked", true, Action::LockShortcutPressed, true},
      {"unlock command, locked", true, Action::UnlockRequested, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppRig rig;
    fakes::FakeRemoteRequests remote;
    rig.services.remoteRequests = &remote;
    rig.launch();
    ASSERT_EQ(remote.target, &rig.app());
    EXPECT_EQ(remote.preferred, (KeyShortcut{"l", kKeyModifierControl | kKeyModifierOption |
                                                      kKeyModifierCommand}));
    rig.pointer = Point{500, 450};
    if (c.lockedBefore) rig.click();
    rig.pointer = Point{700, 200};
    remote.send(c.request);
    EXPECT_EQ(rig.isLocked(), c.lockedAfter);
    rig.expectLook(c.lockedAfter);
    if (c.lockedAfter) {
      // A lock already there keeps its mark; a new one puts it at the pointer.
      EXPECT_EQ(rig.mark, c.lockedBefore ? makeRect(488, 438, 24, 24) : makeRect(688, 188, 24, 24));
    } else {
      EXPECT_EQ(rig.mark, std::nullopt);
      EXPECT_TRUE(rig.gesturesRestored());
    }
    rig.runPending();
    EXPECT_EQ(fakes::count(rig.log, "requestReview"), 0u);  // the user may be away from the screen
    rig.terminate();
    EXPECT_TRUE(remote.stopped);
    EXPECT_FALSE(rig.isLocked());
  }
}

// "Lock Now" names the shortcut only where this program chose its keys.
TEST(RemoteRequests, TheMenuShowsAGrantedShortcutOnLockNow) {
  for (const bool granted : {false, true}) {
    SCOPED_TRACE(granted);
    AppRig rig;
    fakes::FakeRemoteRequests remote;
    if (granted) remote.granted = kPreferredLockShortcut;
    rig.services.remoteRequests = &remote;
    rig.launch();
    const MenuItem lockNow = rig.chooseFromMenu("").items.front();
    EXPECT_EQ(lockNow.title, "Lock Now");
    EXPECT_EQ(lockNow.keyEquivalent, granted ? "l" : "");
    EXPECT_EQ(lockNow.keyModifiers, granted ? kPreferredLockShortcut.modifiers : 0);
    EXPECT_EQ(rig.lastItem->standing(), rig.chooseFromMenu(""));
  }
}

// What the Start at Login item reads in each status, and what choosing it does.
TEST(StartAtLogin, TheMenuShowsTheStatusAndChoosingItTurnsItOverOrAsksForApproval) {
  using enum LoginItemStatus;
  struct Case {
    const char* name;
    LoginItemStatus status;
    bool approvalNeeded;
    bool refuse;
    std::optional<std::pair<std::string, bool>> shown;  // title, checked
    std::vector<std::string> calls;
    LoginItemStatus after;
  };
  const Case cases[] = {
      {"off", Disabled, false, false, {{"Start at Login", false}}, {"register"}, Enabled},
      {"on", Enabled, false, false, {{"Start at Login", true}}, {"unregister"}, Disabled},
      {"off, the OS asks for approval", Disabled, true, false, {{"Start at Login", false}},
       {"register", "openSettings"}, NeedsApproval},
      {"waiting for approval", NeedsApproval, true, false,
       {{"Start at Login (Allow in System Settings)", false}}, {"openSettings"}, NeedsApproval},
      {"off, the OS refuses", Disabled, false, true, {{"Start at Login", false}}, {"register"},
       Disabled},
      {"not offered", Unavailable, false, false, std::nullopt, {}, Unavailable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppRig rig;
    fakes::FakeLoginItem loginItem;
    loginItem.current = c.status;
    loginItem.approvalNeeded = c.approvalNeeded;
    loginItem.refuse = c.refuse;
    rig.services.loginItem = &loginItem;
    rig.launch();
    const Menu shown = rig.chooseFromMenu("");
    const auto item = std::ranges::find(shown.items, Action::ToggleStartAtLogin, &MenuItem::action);
    if (!c.shown) {
      EXPECT_EQ(item, shown.items.end());
      continue;
    }
    ASSERT_NE(item, shown.items.end());
    EXPECT_EQ(std::pair(item->title, item->checked), *c.shown);
    EXPECT_EQ(rig.lastItem->standing(), shown);
    rig.chooseFromMenu(item->title);
    EXPECT_EQ(loginItem.calls, c.calls);
    EXPECT_EQ(loginItem.current, c.after);
    EXPECT_FALSE(rig.isLocked());  // the menu's click did not lock
    const Menu next = rig.chooseFromMenu("");
    const auto nextItem =
        std::ranges::find(next.items, Action::ToggleStartAtLogin, &MenuItem::action);
    ASSERT_NE(nextItem, next.items.end());
    EXPECT_EQ(nextItem->checked, c.after == Enabled);
  }
}

}  // namespace
}  // namespace hushpad::testing
