#include "app/app_delegate.h"

#include "artwork/toolbar_mark.h"
#include "artwork/unlock_mark.h"
#include "input/event_decision.h"
#include "input/input_permission_controller.h"

namespace hushpad {
namespace {

constexpr const char* kUnlockedToolTip =
    "Hushpad: unlocked. Left-click to lock, right-click for menu.";
constexpr const char* kLockedToolTip = "Hushpad: locked. Click here to unlock.";
constexpr const char* kUnlockedLabel = "Hushpad unlocked";
constexpr const char* kLockedLabel = "Hushpad locked";
constexpr const char* kUnlockMarkTitle = "Hushpad is locked";

std::unique_ptr<InputLockController> makeLockController(Platform& platform) {
  auto gestureLock = std::make_unique<TrackpadGestureLock>(
      kGestureBackupDefaultsKey, platform.makeGestureOverrides(), platform.preferences,
      platform.userDefaults, platform.notifications);
  auto permissionController = std::make_unique<InputPermissionController>(
      platform.input.privacy, platform.input.alerts, platform.input.workspace);
  InputLockServices services = platform.input;
  services.defaults = &platform.userDefaults;  // the keyboard's state survives a crash
  return std::make_unique<InputLockController>(services, platform.wording,
                                               std::move(gestureLock),
                                               std::move(permissionController),
                                               defaultBlockedEventTypes());
}

// Fills storage on first use; the same image afterwards.
const std::shared_ptr<Image>& cachedToolbarImage(std::shared_ptr<Image>& storage,
                                                 ImageFactory& images, bool locked) {
  if (!storage) storage = makeToolbarImage(images, locked);
  return storage;
}

// What the Start at Login item reads and whether it is checked; nothing
// where the OS has no login items to offer.
struct LoginItemLook {
  const char* title;
  bool checked;
};
std::optional<LoginItemLook> loginItemLook(LoginItemStatus status) {
  switch (status) {
    case LoginItemStatus::Disabled:
      return LoginItemLook{"Start at Login", false};
    case LoginItemStatus::Enabled:
      return LoginItemLook{"Start at Login", true};
    case LoginItemStatus::NeedsApproval:
      return LoginItemLook{"Start at Login (Allow in System Settings)", false};
    case LoginItemStatus::Unavailable:
      break;
  }
  return std::nullopt;
}

}  // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform), statusItem_(platform.statusBar.statusItem(kSquareStatusItemLength)) {}

// A run that ended while locked (a crash, a kill, a power cut) left the
// trackpad settings off: they come back now, not at some later unlock.
void AppDelegate::applicationDidFinishLaunching() {
  platform_.application.setActivationPolicyAccessory();
  configureStatusItem();
  lockController().restoreGesturesLeftLocked();
  if (platform_.remoteRequests != nullptr) {
    platform_.remoteRequests->listen(this, kPreferredLockShortcut);
  }
}

// Restores the trackpad settings before the process ends, without asking
// anything; the status item is about to go away, so it is left as it is.
void AppDelegate::applicationWillTerminate() {
  if (platform_.remoteRequests != nullptr) platform_.remoteRequests->stopListening();
  InputLockController& controller = lockController();
  if (controller.isLocked()) controller.unlockForTermination();
}

void AppDelegate::performAction(Action action) {
  switch (action) {
    case Action::StatusItemClicked:
      statusItemClicked();
      break;
    case Action::LockNow:
      lockNow();
      break;
    case Action::OpenPermissions:
      openPermissions();
      break;
    case Action::Quit:
      quit();
      break;
    case Action::ToggleStartAtLogin:
      toggleStartAtLogin();
      break;
    case Action::LockRequested:
    case Action::LockShortcutPressed:
      lockRequested();
      break;
    case Action::UnlockRequested:
      unlockRequested();
      break;
    case Action::None:
      break;
  }
}

void AppDelegate::configureStatusItem() {
  const std::shared_ptr<StatusButton> button = statusItem_->button();
  if (!button) return;
  button->setTitle("");
  button->setImage(unlockedToolbarImage());
  button->setImagePosition(ImagePosition::ImageOnly);
  button->setTarget(this, Action::StatusItemClicked);
  button->sendActionOn(kEventMaskLeftMouseUp | kEventMaskRightMouseUp);
  lockController().statusButton = button;
  statusItem_->setStandingMenu([this] { return menu(); });
  updateStatusItem();
}

void AppDelegate::updateStatusItem() {
  const std::shared_ptr<StatusButton> button = statusItem_->button();
  if (!button) return;
  const bool locked = lockController().isLocked();
  button->setTitle("");
  button->setImage(locked ? lockedToolbarImage() : unlockedToolbarImage());
  button->setToolTip(locked ? kLockedToolTip : kUnlockedToolTip);
  button->setAccessibilityLabel(locked ? kLockedLabel : kUnlockedLabel);
}

// While locked any click unlocks; while unlocked a right click opens the menu
// and every other click locks.
void AppDelegate::statusItemClicked() {
  InputLockController& controller = lockController();
  if (controller.isLocked()) {
    controller.unlock();
    updateStatusItem();
    requestReviewAfterFirstUnlockIfNeeded();
    return;
  }
  lockPoint_ = platform_.input.screens.pointerLocation();
  if (platform_.application.currentEventType() == MouseEventType::RightMouseUp) {
    openMenu();
    return;
  }
  lockPath();
}

// From a menu the tray host drew by itself no click came first: the mark goes
// where the pointer is now, over the item just chosen, not at an older click.
void AppDelegate::lockNow() {
  if (!menuOpen_) lockPoint_ = platform_.input.screens.pointerLocation();
  lockPath();
}

// The commands and the shortcut: the mark goes where the pointer is, as for
// "Lock Now" from a menu the host drew. Already locked, a lock request does
// nothing: a shortcut pressed twice, or a paw on the keys, never unlocks.
void AppDelegate::lockRequested() {
  if (lockController().isLocked()) return;
  lockPoint_ = platform_.input.screens.pointerLocation();
  lockPath();
}

// The way out when the mark is out of reach: from a second terminal, over
// ssh. No review is asked for; the user may not be at the screen.
void AppDelegate::unlockRequested() {
  InputLockController& controller = lockController();
  if (!controller.isLocked()) return;
  controller.unlock();
  updateStatusItem();
}

// Checked, it stops; unchecked, it starts. Waiting for the user's approval,
// the OS's settings are where it is given.
void AppDelegate::toggleStartAtLogin() {
  LoginItem* loginItem = platform_.loginItem;
  if (loginItem == nullptr) return;
  switch (loginItem->status()) {
    case LoginItemStatus::Enabled:
      loginItem->setEnabled(false);
      break;
    case LoginItemStatus::Disabled:
      if (loginItem->setEnabled(true) && loginItem->status() == LoginItemStatus::NeedsApproval) {
        loginItem->openSettings();
      }
      break;
    case LoginItemStatus::NeedsApproval:
      loginItem->openSettings();
      break;
    case LoginItemStatus::Unavailable:
      break;
  }
}

// "Lock Now" with the shortcut where this program chose its keys; "Open
// Permissions" only where the OS has privileges to grant; "Start at Login"
// where the OS can start programs with the session.
Menu AppDelegate::menu() {
  MenuItem lockNowItem{"Lock Now", Action::LockNow, "", false, this};
  if (platform_.remoteRequests != nullptr) {
    if (const std::optional<KeyShortcut> shortcut = platform_.remoteRequests->grantedShortcut()) {
      lockNowItem.keyEquivalent = shortcut->key;
      lockNowItem.keyModifiers = shortcut->modifiers;
    }
  }
  Menu menu{{lockNowItem}};
  if (platform_.input.privacy.inputAccess().hasPrivilegesToGrant) {
    menu.items.push_back({"Open Permissions", Action::OpenPermissions, "", false, this});
  }
  if (platform_.loginItem != nullptr) {
    if (const std::optional<LoginItemLook> look = loginItemLook(platform_.loginItem->status())) {
      menu.items.push_back(
          {look->title, Action::ToggleStartAtLogin, "", false, this, true, look->checked});
    }
  }
  menu.items.push_back({"", Action::None, "", true, this});
  menu.items.push_back({"Quit Hushpad", Action::Quit, "q", false, this});
  return menu;
}

void AppDelegate::openPermissions() { platform_.input.workspace.openURL(kAccessibilityPaneURL); }

void AppDelegate::quit() { platform_.application.terminate(); }

// Asks once per user account, after the click that unlocked has been handled.
void AppDelegate::requestReviewAfterFirstUnlockIfNeeded() {
  UserDefaults& defaults = platform_.userDefaults;
  if (defaults.boolForKey(firstUnlockReviewDefaultsKey)) return;
  defaults.setBool(firstUnlockReviewDefaultsKey, true);
  platform_.input.mainQueue.async(
      [&application = platform_.application, &reviewPrompt = platform_.reviewPrompt] {
        application.activateIgnoringOtherApps();
        reviewPrompt.requestReview();
      });
}

InputLockController& AppDelegate::lockController() {
  if (!lockController_) {
    const std::shared_ptr<StatusButton> button = statusItem_->button();
    lockController_ = makeLockController(platform_);
    lockController_->statusButton = button;
    // The controller gave up the lock by itself: show it.
    lockController_->setForcedUnlockHandler([this] { updateStatusItem(); });
    lockController_->setUnlockMarkContent([this] {
      return UnlockMarkContent{unlockMarkImage(), kUnlockMarkTitle, kLockedToolTip, kLockedLabel};
    });
  }
  return *lockController_;
}

std::shared_ptr<Image> AppDelegate::unlockedToolbarImage() {
  return cachedToolbarImage(unlockedToolbarImage_, platform_.images, /*locked=*/false);
}

std::shared_ptr<Image> AppDelegate::lockedToolbarImage() {
  return cachedToolbarImage(lockedToolbarImage_, platform_.images, /*locked=*/true);
}

std::shared_ptr<Image> AppDelegate::unlockMarkImage() {
  if (!unlockMarkImage_) unlockMarkImage_ = makeUnlockMarkImage(platform_.images);
  return unlockMarkImage_;
}

// The refused lock is shown too: the status item then keeps its unlocked look.
void AppDelegate::lockPath() {
  lockController().lock(lockPoint_);
  updateStatusItem();
}

// The menu lives only while it is open; AppKit tracks it inside the click.
void AppDelegate::openMenu() {
  const Menu shown = menu();
  statusItem_->setMenu(&shown);
  menuOpen_ = true;
  if (const std::shared_ptr<StatusButton> button = statusItem_->button()) button->performClick();
  menuOpen_ = false;
  statusItem_->setMenu(nullptr);
}

int runHushpad(Platform& platform) {
  Application& application = platform.application;
  AppDelegate delegate(platform);
  application.setDelegate(&delegate);
  const int result = application.run();
  application.setDelegate(nullptr);
  return result;
}

}  // namespace hushpad
